#include "Reference.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace Reference {

namespace {

// One coordinate of the grid: First + ((Last - First) * i) / (Count - 1), its quotient moved by
// Quotient_Steps floats from the correctly rounded one; a single column or row lies at First.
float Axis_Point(float First, float Last, int i, int Count, int Quotient_Steps = 0)
{
    if (Count <= 1)
        return First;
    float Quotient = ((Last - First) * float(i)) / float(Count - 1);
    for (int k = 0; k < std::abs(Quotient_Steps); ++k)
        Quotient = std::nextafter(Quotient, Quotient_Steps > 0 ? INFINITY : -INFINITY);
    return First + Quotient;
}

float Multiply_Add(float a, float b, float c, Rounding Multiply_Adds)
{
    return Multiply_Adds == Rounding::Fused ? std::fma(a, b, c) : a * b + c; // built without contraction
}

// z^2 + c with the multiply-adds where the engine has them.
Point Square_Plus(Point Z, Point C, Rounding Multiply_Adds)
{
    return {Multiply_Add(Z.Real, Z.Real, -(Z.Imag * Z.Imag), Multiply_Adds) + C.Real,
            Multiply_Add(Z.Real + Z.Real, Z.Imag, C.Imag, Multiply_Adds)};
}

// Floats between a square root and a positive finite threshold, counted along their bit patterns (ordered
// for non-negative floats). An infinite or NaN root lies far more than a few steps from the thresholds the
// tests use, which are nowhere near the largest float.
bool Within_Steps(float a, float b, int Steps)
{
    std::int32_t A, B;
    std::memcpy(&A, &a, 4);
    std::memcpy(&B, &b, 4);
    return std::abs(std::int64_t(A) - B) <= Steps;
}

struct Orbit {
    int Kept = 0;
    Point Z; // the last value kept
    // Some candidate's square root lay within the given steps of the threshold.
    bool Root_Near_Threshold = false;
};

Orbit Iterate(Point Z, Point C, float Threshold, int N, bool Bound_Root, Rounding Multiply_Adds, int Root_Steps = -1)
{
    Orbit Result;
    for (; Result.Kept < N; ++Result.Kept) {
        const Point Candidate = Square_Plus(Z, C, Multiply_Adds);
        const float Magnitude = Multiply_Add(Candidate.Real, Candidate.Real, Candidate.Imag * Candidate.Imag, Multiply_Adds);
        const float Tested = Bound_Root ? std::sqrt(Magnitude) : Magnitude;
        Result.Root_Near_Threshold = Result.Root_Near_Threshold || (Bound_Root && Within_Steps(Tested, Threshold, Root_Steps));
        if (!(Tested < Threshold))
            break; // the orbit is frozen from here on
        Z = Candidate;
    }
    Result.Z = Z;
    return Result;
}

// The orbit of pixel (x, y), its grid quotients moved by the given steps.
Orbit Pixel_Orbit(bool Mandelbrot, const Window& View, int W, int H, int x, int y, Point C, float Threshold, int N,
                  Rounding Multiply_Adds, int Real_Steps = 0, int Imag_Steps = 0, int Root_Steps = -1)
{
    const Point At{Axis_Point(View.X_Min, View.X_Max, x, W, Real_Steps), Axis_Point(View.Y_Min, View.Y_Max, y, H, Imag_Steps)};
    return Mandelbrot ? Iterate({0.0f, 0.0f}, At, Threshold, N, false, Multiply_Adds)
                      : Iterate(At, C, Threshold, N, true, Multiply_Adds, Root_Steps);
}

struct Rgb {
    double R, G, B;
};

// Each piece: the last entry it covers, then the value there as (a + b e) / d.
double Piecewise(int e, std::initializer_list<std::array<double, 4>> Pieces)
{
    for (const auto& Piece : Pieces)
        if (e <= Piece[0])
            return (Piece[1] + Piece[2] * e) / Piece[3];
    return 0.0;
}

Rgb Hot(int e)
{
    return {Piecewise(e, {{95, 1, 1, 96}, {255, 1, 0, 1}}),
            Piecewise(e, {{95, 0, 0, 1}, {191, -95, 1, 96}, {255, 1, 0, 1}}),
            Piecewise(e, {{191, 0, 0, 1}, {255, -191, 1, 64}})};
}

Rgb Jet(int e)
{
    return {Piecewise(e, {{95, 0, 0, 64}, {159, -95, 1, 64}, {222, 64, 0, 64}, {255, 287, -1, 64}}),
            Piecewise(e, {{31, 0, 0, 64}, {95, -31, 1, 64}, {158, 64, 0, 64}, {222, 223, -1, 64}, {255, 0, 0, 64}}),
            Piecewise(e, {{31, 33, 1, 64}, {94, 64, 0, 64}, {158, 159, -1, 64}, {255, 0, 0, 64}})};
}

Rgb Hsv(int e)
{
    const double s = 6.0 * (e / 256.0);
    const double k = std::floor(s);
    const double f = s - k;
    const Rgb Sectors[6] = {{1, f, 0}, {1 - f, 1, 0}, {0, 1, f}, {0, 1 - f, 1}, {f, 0, 1}, {1, 0, 1 - f}};
    return Sectors[int(k)];
}

Rgb Bone(int e)
{
    const double g = e / 255.0;
    const Rgb h = Hot(e);
    return {((7 * g) + h.B) / 8, ((7 * g) + h.G) / 8, ((7 * g) + h.R) / 8};
}

std::uint8_t Byte(double v)
{
    return std::uint8_t(std::floor(255.0 * v + 0.5));
}

} // namespace

std::vector<Orbit_End> Orbit_Ends(bool Mandelbrot, const Window& View, int W, int H, Point C, float Threshold, int N,
                                  Rounding Multiply_Adds)
{
    std::vector<Orbit_End> Ends(std::size_t(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const Orbit o = Pixel_Orbit(Mandelbrot, View, W, H, x, y, C, Threshold, N, Multiply_Adds);
            Ends[std::size_t(y) * W + x] = {o.Kept, o.Z};
        }
    return Ends;
}

std::vector<bool> Gpu_May_Differ(bool Mandelbrot, const Window& View, int W, int H, Point C, float Threshold, int N,
                                 int Root_Ulps)
{
    constexpr int Quotient_Ulps = 2;
    std::vector<bool> May_Differ(std::size_t(W) * H, false);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int Kept = Pixel_Orbit(Mandelbrot, View, W, H, x, y, C, Threshold, N, Rounding::Fused).Kept;
            bool Differs = false;
            for (int Real = -Quotient_Ulps; Real <= Quotient_Ulps && !Differs; ++Real)
                for (int Imag = -Quotient_Ulps; Imag <= Quotient_Ulps && !Differs; ++Imag) {
                    const Orbit Moved = Pixel_Orbit(Mandelbrot, View, W, H, x, y, C, Threshold, N, Rounding::Fused, Real,
                                                    Imag, Root_Ulps);
                    Differs = Moved.Kept != Kept || Moved.Root_Near_Threshold;
                }
            May_Differ[std::size_t(y) * W + x] = Differs;
        }
    return May_Differ;
}

Table Formula_Table(int Colormap)
{
    Table Colours{};
    for (int e = 0; e < 256; ++e) {
        const Rgb c = Colormap == 1 ? Hot(e) : Colormap == 2 ? Jet(e) : Colormap == 3 ? Hsv(e) : Bone(e);
        Colours[3 * e] = Byte(c.R);
        Colours[3 * e + 1] = Byte(c.G);
        Colours[3 * e + 2] = Byte(c.B);
    }
    return Colours;
}

std::vector<std::uint8_t> Colour(const std::vector<int>& Counts, const Table& Colours)
{
    std::vector<std::uint8_t> Image;
    for (const int Count : Counts) {
        const std::uint8_t* Entry = &Colours[3 * std::min(Count, 255)];
        Image.insert(Image.end(), {Entry[0], Entry[1], Entry[2], 255});
    }
    return Image;
}

Table Listed_Table(const std::string& Name)
{
    std::ifstream Listing(KESTRINE_LISTED_TABLES);
    std::string Word;
    while (Listing >> Word && Word != Name)
        ;
    Table Colours{};
    for (int e = 0; e < 256; ++e) {
        unsigned Rgb = 0;
        if (!(Listing >> std::hex >> Rgb))
            return {};
        Colours[3 * e] = std::uint8_t(Rgb >> 16), Colours[3 * e + 1] = std::uint8_t(Rgb >> 8), Colours[3 * e + 2] = std::uint8_t(Rgb);
    }
    return Colours;
}

} // namespace Reference
