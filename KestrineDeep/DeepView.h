// A deep view read into numbers: the checks and the parts every render needs.
#pragma once

#include "KestrineDeep.h"
#include "Scaled.h"

#include <mpfr.h>

#include <string>

namespace Kestrine_Deep {

constexpr std::int64_t Max_Iterations = 2147483647;
// The largest image side: its pixel count and every index must fit an int.
constexpr int Max_Image_Side = 1 << 15;

// Plain decimal text: an optional sign, digits with at most one point, an optional exponent.
bool Is_Decimal(const std::string& Text);

// The width's binary exponent E, with 2^(E-1) <= width < 2^E roughly, read without parsing the whole
// number; false for text that is not a positive decimal.
bool Width_Exponent(const std::string& Text, long& Exponent);

// The pixel spacing width / (W - 1) (the width itself for one column) with a double mantissa; MPFR
// does the division, so it is the spacing rounded once.
Deep_Numbers::Scaled_Real Pixel_Spacing(const Deep_View& View);

// The row spacing over the column spacing: exactly 1 for square pixels.
double Row_Ratio(const Deep_View& View);

// The precision, in bits, that the reference orbit of this view is computed with: the bits that
// resolve a pixel against the centre's magnitude, with a margin for the orbit's error to grow.
long Reference_Precision(const Deep_View& View);

// Reads Text into Out at Out's precision, rounded to nearest; false unless it is a plain decimal.
bool Read_Decimal(const std::string& Text, mpfr_ptr Out);

} // namespace Kestrine_Deep
