#include "Reference.h"

#include <algorithm>
#include <cmath>

namespace Reference {

namespace {

Point Pixel_Point(const Window& View, int W, int H, int x, int y)
{
    const float Real = W > 1 ? View.X_Min + ((View.X_Max - View.X_Min) * float(x)) / float(W - 1) : View.X_Min;
    const float Imag = H > 1 ? View.Y_Min + ((View.Y_Max - View.Y_Min) * float(y)) / float(H - 1) : View.Y_Min;
    return {Real, Imag};
}

// z^2 + c with the multiply-adds fused where the engine fuses them (one rounding each).
Point Square_Plus(Point Z, Point C)
{
    return {std::fma(Z.Real, Z.Real, -(Z.Imag * Z.Imag)) + C.Real, std::fma(Z.Real + Z.Real, Z.Imag, C.Imag)};
}

int Count(Point Z, Point C, float Threshold, int N, bool Bound_Root)
{
    int Kept = 0;
    for (; Kept < N; ++Kept) {
        const Point Candidate = Square_Plus(Z, C);
        const float Magnitude = std::fma(Candidate.Real, Candidate.Real, Candidate.Imag * Candidate.Imag);
        if (!((Bound_Root ? std::sqrt(Magnitude) : Magnitude) < Threshold))
            break; // the orbit is frozen from here on
        Z = Candidate;
    }
    return Kept;
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

std::vector<int> Counts(bool Mandelbrot, const Window& View, int W, int H, Point C, float Threshold, int N)
{
    std::vector<int> Counts(std::size_t(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const Point At = Pixel_Point(View, W, H, x, y);
            Counts[std::size_t(y) * W + x] =
                Mandelbrot ? Count({0.0f, 0.0f}, At, Threshold, N, false) : Count(At, C, Threshold, N, true);
        }
    return Counts;
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

std::uint64_t Fnv1a(const std::uint8_t* Bytes, std::size_t Count)
{
    std::uint64_t Hash = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < Count; ++i)
        Hash = (Hash ^ Bytes[i]) * 0x100000001b3ull;
    return Hash;
}

} // namespace Reference
