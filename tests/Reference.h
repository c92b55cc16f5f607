// An independent scalar model of the engine's pictures, written from the documented formulas.
//
// Strict single precision (this file is built without contraction; the recurrences fuse their
// multiply-adds explicitly where the engine's documented rounding does), one pixel at a time, no code
// shared with the library: tests compare the engine against it, never against the engine itself.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace Reference {

struct Window {
    float X_Min, X_Max, Y_Min, Y_Max;
};

struct Point {
    float Real, Imag;
};

// Steps kept of every pixel's orbit after N steps in all, row-major; column 0 lies at X_Min, row 0 at
// Y_Min. A Julia picture starts each orbit at the pixel's point and bounds |z|; a Mandelbrot picture
// starts at 0, adds the pixel's point and bounds |z|^2.
std::vector<int> Counts(bool Mandelbrot, const Window& View, int W, int H, Point C, float Threshold, int N);

using Table = std::array<std::uint8_t, 768>;

// The tables defined by formulas (HOT, JET, HSV, BONE), computed in double precision.
Table Formula_Table(int Colormap);

// RGBA image of the counts through a table.
std::vector<std::uint8_t> Colour(const std::vector<int>& Counts, const Table& Colours);

// FNV-1a over bytes; the listed tables are checked against the hashes of their published values.
std::uint64_t Fnv1a(const std::uint8_t* Bytes, std::size_t Count);

} // namespace Reference
