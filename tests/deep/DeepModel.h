// The deep-view model the renderer's deep pictures are checked against: every pixel's orbit iterated
// directly in MPFR, with no reference orbit, no perturbation and no approximation, so that nothing in
// it can share a fault with the renderer. It is slow on purpose and meant for a few hundred pixels.
#pragma once

#include <mpfr.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Deep_Model {

// A view as the program describes it: decimal strings of any length for the centre, the width and the
// Julia constant (which a Mandelbrot view ignores). Pixels are square, s = width / (W - 1) (s = width
// for W = 1); pixel (x, y) lies at (Re + (x - (W-1)/2) s, Im + (y - (H-1)/2) s), row 0 lowest.
struct View {
    bool Mandelbrot = true;
    std::string Centre_Re = "0", Centre_Im = "0", Width = "1";
    std::string Height;      // of the rows' centres; empty: rows as far apart as columns
    std::string C_Re = "0", C_Im = "0";
    int W = 1, H = 1;
    std::int64_t N = 1;      // 1 to 2^31 - 1
    double Threshold = 4;    // Julia bounds |z|, Mandelbrot bounds |z|^2
};

struct Pixel_Result {
    std::int64_t Count = 0;        // accepted steps, N when no candidate failed
    bool Escaped = false;          // Count < N
    // For an escaped pixel: the first j >= Count + 1 with |z(j)| > R, and ln|z(j)|. Smooth_Capped says
    // no such j came within the extra steps allowed (Smooth_Log is NaN then).
    std::int64_t Smooth_Index = 0;
    double Smooth_Log = 0;
    bool Smooth_Capped = false;
};

// Steps allowed past the failed candidate when looking for |z(j)| > R.
constexpr int Smooth_Step_Cap = 64;

// Refuses malformed or non-finite strings (a decimal number: sign, digits with at most one point,
// optional exponent), a width that is not positive, W or H below 1, N outside 1 to 2^31 - 1, and for
// Julia a malformed constant. The threshold may be anything: T <= 0 or NaN accepts no step.
bool Valid(const View& Image);

// The pixel's point at the given precision, each operation rounded to nearest; false (the outputs left
// unchanged) for an invalid view or a pixel outside it. Re and Im must be initialised; their precision
// is set to Precision.
bool Pixel_Point(const View& Image, int X, int Y, mpfr_prec_t Precision, mpfr_t Re, mpfr_t Im);

// One pixel at one precision; empty for an invalid view, a pixel outside it, a precision MPFR refuses,
// or R not finite and positive.
std::optional<Pixel_Result> Iterate_Pixel(const View& Image, int X, int Y, mpfr_prec_t Precision,
                                          double Smooth_Radius = 1024);

// The precision Sample starts from: the bits that resolve the pixel spacing against the centre's
// magnitude, plus a 64-bit margin, plus the bits of N. Zero for an invalid view.
mpfr_prec_t Start_Precision(const View& Image);

// The smooth values are taken at R = 1024, the radius the renderer's pictures use.
struct Sample_Result {
    int X = 0, Y = 0;
    Pixel_Result Result;              // at Precision
    mpfr_prec_t Precision = 0;        // Start_Precision + 64
    bool Resolved = false;            // false: the result at Start_Precision differs
};

// Whether two results of one pixel agree: the same count, and for an escaped pixel the same smooth
// index and cap flag and ln|z(j)| equal to within 1e-9 (relative, at least absolute).
bool Agree(const Pixel_Result& A, const Pixel_Result& B);

// The pixels at ample precision, spread over threads: each at Start_Precision and 64 bits more, which
// must agree. Empty for an invalid view or pixel.
std::optional<std::vector<Sample_Result>> Sample(const View& Image, const std::vector<std::pair<int, int>>& Pixels);

// About Count pixels on a regular grid over the image, then the four corners and the centre, without
// repeats. Empty for an invalid view.
std::vector<std::pair<int, int>> Sample_Grid(const View& Image, int Count);

} // namespace Deep_Model
