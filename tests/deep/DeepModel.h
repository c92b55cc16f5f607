// The deep-view model the renderer's deep pictures are checked against: every pixel's orbit iterated
// directly in MPFR, with no reference orbit, no perturbation and no approximation, so that nothing in
// it can share a fault with the renderer. It is slow on purpose and meant for a few hundred pixels.
#pragma once

#include <mpfr.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Deep_Model {

// A view as the program describes it: decimal strings of any length for the centre, the width and the
// Julia constant (which a Mandelbrot view ignores). Pixels are square, s = width / (W - 1) (s = width
// for W = 1); pixel (x, y) lies at (Re + (x - (W-1)/2) s, Im + (y - (H-1)/2) s), row 0 lowest. Only the
// tests' own views come here, well formed (plain decimals, a positive width and threshold, N >= 1), so
// nothing checks them.
struct View {
    bool Mandelbrot = true;
    std::string Centre_Re = "0", Centre_Im = "0", Width = "1";
    std::string Height;      // of the rows' centres; empty: rows as far apart as columns
    std::string C_Re = "0", C_Im = "0";
    int W = 1, H = 1;
    std::int64_t N = 1;
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

// The pixel's point at the given precision, each operation rounded to nearest. Re and Im must be
// initialised; their precision is set to Precision.
void Pixel_Point(const View& Image, int X, int Y, mpfr_prec_t Precision, mpfr_t Re, mpfr_t Im);

// One pixel at one precision, the smooth values taken at R = 1024, the radius the renderer's pictures use.
Pixel_Result Iterate_Pixel(const View& Image, int X, int Y, mpfr_prec_t Precision);

struct Sample_Result {
    int X = 0, Y = 0;
    Pixel_Result Result;              // at the precision Sample settles on
    bool Resolved = false;            // false: the result 64 bits lower differs
};

// Whether two results of one pixel agree: the same count, and for an escaped pixel the same smooth
// index and cap flag and ln|z(j)| equal to within 1e-9 (relative, at least absolute).
bool Agree(const Pixel_Result& A, const Pixel_Result& B);

// The pixels at ample precision, spread over threads: each at a start precision (the bits that resolve
// the pixel spacing against the centre's magnitude, plus a 64-bit margin, plus the bits of N) and 64
// bits more, which must agree.
std::vector<Sample_Result> Sample(const View& Image, const std::vector<std::pair<int, int>>& Pixels);

// About Count pixels on a regular grid over the image, then the four corners and the centre, without
// repeats.
std::vector<std::pair<int, int>> Sample_Grid(const View& Image, int Count);

} // namespace Deep_Model
