// An independent scalar model of the engine's pictures, written from the documented formulas.
//
// Strict single precision (this file is built without contraction; the recurrences fuse their
// multiply-adds explicitly where the engine's documented rounding does), one pixel at a time, no code
// shared with the library: tests compare the engine against it, never against the engine itself.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Reference {

struct Window {
    float X_Min, X_Max, Y_Min, Y_Max;
};

struct Point {
    float Real, Imag;
};

// How the recurrences' multiply-adds round: once (fused, as a GPU and a CPU with FMA instructions
// round them) or twice (a multiply, then an add).
enum class Rounding { Fused, Separate };

// Each pixel's count (steps kept after N steps in all) and its orbit's last value kept, row-major;
// column 0 lies at X_Min, row 0 at Y_Min. A Julia picture starts each orbit at the pixel's point and
// bounds |z|; a Mandelbrot picture starts at 0, adds the pixel's point and bounds |z|^2.
struct Orbit_End {
    int Count;
    Point Z;
};
std::vector<Orbit_End> Orbit_Ends(bool Mandelbrot, const Window& View, int W, int H, Point C, float Threshold, int N,
                                  Rounding Multiply_Adds);

// The pixels whose count a GPU may give otherwise than Counts with fused multiply-adds: a GPU built
// for speed divides (in the grid set-up) within 2 units in the last place of the exact quotient, and
// takes the square root of the Julia test within Root_Ulps units. A pixel is marked where some
// quotient within those bounds changes its count, or where a square root of one of its candidates
// lies that close to the threshold.
std::vector<bool> Gpu_May_Differ(bool Mandelbrot, const Window& View, int W, int H, Point C, float Threshold, int N,
                                 int Root_Ulps);

using Table = std::array<std::uint8_t, 768>;

// The tables defined by formulas (HOT, JET, HSV, BONE), computed in double precision.
Table Formula_Table(int Colormap);

// RGBA image of the counts through a table.
std::vector<std::uint8_t> Colour(const std::vector<int>& Counts, const Table& Colours);

// A table defined by its values (MORGENSTEMNING, SKY, ABYSS), read from the published listing in
// tests/data; all zeros if the listing does not hold it whole.
Table Listed_Table(const std::string& Name);

} // namespace Reference
