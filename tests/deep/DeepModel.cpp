#include "DeepModel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

namespace Deep_Model {
namespace {

// One MPFR number that frees itself; the orbit loop keeps a handful of these and never allocates.
class Real {
public:
    explicit Real(mpfr_prec_t Precision) { mpfr_init2(Value, Precision); }
    ~Real() { mpfr_clear(Value); }
    Real(const Real&) = delete;
    Real& operator=(const Real&) = delete;
    operator mpfr_ptr() { return Value; }

private:
    mpfr_t Value;
};

// Rounded to nearest at the number's own precision.
void Parse(const std::string& Text, mpfr_ptr Out) { mpfr_set_str(Out, Text.c_str(), 10, MPFR_RNDN); }

// The divisor of the doubled offsets: s = width / (W - 1), or width itself for a one-column image.
long Spacing_Divisor(const View& Image) { return std::max(Image.W - 1, 1); }

// Centre + (2 Index - (Size - 1)) / 2 * s, each operation rounded once; the halving is exact.
void Offset_Coordinate(mpfr_ptr Out, mpfr_ptr Spacing, long Index, long Size, mpfr_ptr Scratch)
{
    mpfr_mul_si(Scratch, Spacing, 2 * Index - (Size - 1), MPFR_RNDN);
    mpfr_div_2ui(Scratch, Scratch, 1, MPFR_RNDN);
    mpfr_add(Out, Out, Scratch, MPFR_RNDN);
}

// The orbit's state: z, its squared parts and |z|^2, and the constant.
struct Orbit {
    explicit Orbit(mpfr_prec_t Precision)
        : X(Precision), Y(Precision), X2(Precision), Y2(Precision), Scratch(Precision), Magnitude(Precision),
          C_Re(Precision), C_Im(Precision)
    {
    }

    // z <- z^2 + c, then |z|^2 of the new z: three products, four sums.
    void Step()
    {
        mpfr_mul(Scratch, X, Y, MPFR_RNDN);
        mpfr_mul_2ui(Scratch, Scratch, 1, MPFR_RNDN);
        mpfr_add(Scratch, Scratch, C_Im, MPFR_RNDN);
        mpfr_sub(X, X2, Y2, MPFR_RNDN);
        mpfr_add(X, X, C_Re, MPFR_RNDN);
        mpfr_swap(Y, Scratch);
        Square();
    }

    void Square()
    {
        mpfr_sqr(X2, X, MPFR_RNDN);
        mpfr_sqr(Y2, Y, MPFR_RNDN);
        mpfr_add(Magnitude, X2, Y2, MPFR_RNDN);
    }

    Real X, Y, X2, Y2, Scratch, Magnitude, C_Re, C_Im;
};

// Wide enough to hold the square of any double exactly, so the bounds compare exactly with |z|^2.
constexpr mpfr_prec_t Bound_Precision = 128;

// Past the failed candidate z(Count + 1): the first j with |z(j)| > 1024, within the step cap.
void Smooth(Orbit& State, Pixel_Result& Result)
{
    Real Radius_Squared(Bound_Precision);
    mpfr_set_ui(Radius_Squared, 1024 * 1024, MPFR_RNDN);
    const std::int64_t First = Result.Count + 1;
    for (std::int64_t J = First; J <= First + Smooth_Step_Cap; ++J) {
        if (J > First) State.Step();
        if (mpfr_greater_p(State.Magnitude, Radius_Squared)) {
            // ln|z| = ln(|z|^2) / 2, rounded to a double only at the end.
            mpfr_log(State.Scratch, State.Magnitude, MPFR_RNDN);
            mpfr_div_2ui(State.Scratch, State.Scratch, 1, MPFR_RNDN);
            Result.Smooth_Index = J;
            Result.Smooth_Log = mpfr_get_d(State.Scratch, MPFR_RNDN);
            // The logarithm caches constants per thread; a caller's short-lived threads would leak them.
            mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE);
            return;
        }
    }
    Result.Smooth_Capped = true;
    Result.Smooth_Index = First + Smooth_Step_Cap;
    Result.Smooth_Log = std::numeric_limits<double>::quiet_NaN();
}

// Two results agree when nothing a picture is made of moves: the count, and for an escaped pixel the
// smooth index and ln|z(j)|. The logarithm's difference measures the orbit's accumulated error, which
// the count alone would only show once it had grown large enough to flip an escape test.
constexpr double Log_Tolerance = 1e-9;

// The second precision is only 64 bits above the first: agreement costs little more than one run.
Sample_Result Settle(const View& Image, int X, int Y, mpfr_prec_t Start)
{
    Sample_Result Out;
    Out.X = X, Out.Y = Y;
    Out.Result = Iterate_Pixel(Image, X, Y, Start + 64);
    Out.Resolved = Agree(Iterate_Pixel(Image, X, Y, Start), Out.Result);
    return Out;
}

// The bits that resolve the pixel spacing against the centre's magnitude, a 64-bit margin, the bits of N.
mpfr_prec_t Start_Precision(const View& Image)
{
    // Bits from the orbit's scale (at least 1: |z| near the escape test is of order 1, whatever the
    // centre) down to the pixel spacing, so that neighbouring pixels are distinct numbers at all.
    Real Spacing(64), Centre(64);
    Parse(Image.Width, Spacing);
    mpfr_div_si(Spacing, Spacing, Spacing_Divisor(Image), MPFR_RNDN);
    mpfr_exp_t Scale = 1;
    for (const std::string* Part : {&Image.Centre_Re, &Image.Centre_Im}) {
        Parse(*Part, Centre);
        if (!mpfr_zero_p(Centre)) Scale = std::max(Scale, mpfr_get_exp(Centre));
    }
    const mpfr_exp_t Spacing_Bits = std::max<mpfr_exp_t>(0, Scale - mpfr_get_exp(Spacing) + 1);
    mpfr_prec_t Iteration_Bits = 0;
    for (std::int64_t Rest = Image.N; Rest > 0; Rest >>= 1) ++Iteration_Bits;
    return static_cast<mpfr_prec_t>(Spacing_Bits) + 64 + Iteration_Bits;
}

} // namespace

Pixel_Result Iterate_Pixel(const View& Image, int X, int Y, mpfr_prec_t Precision)
{
    Orbit State(Precision);
    Real Bound(Bound_Precision);
    mpfr_set_d(Bound, Image.Threshold, MPFR_RNDN);
    if (Image.Mandelbrot) {
        Pixel_Point(Image, X, Y, Precision, State.C_Re, State.C_Im);
        mpfr_set_zero(State.X, 1);
        mpfr_set_zero(State.Y, 1);
    } else {
        Pixel_Point(Image, X, Y, Precision, State.X, State.Y);
        Parse(Image.C_Re, State.C_Re);
        Parse(Image.C_Im, State.C_Im);
        // |z| < T as |z|^2 < T^2, which holds for T > 0.
        mpfr_sqr(Bound, Bound, MPFR_RNDN);
    }
    State.Square();

    Pixel_Result Result;
    Result.Count = Image.N;
    for (std::int64_t J = 0; J < Image.N; ++J) {
        State.Step();
        if (!mpfr_less_p(State.Magnitude, Bound)) {
            Result.Count = J;
            break;
        }
    }
    Result.Escaped = Result.Count < Image.N;
    if (Result.Escaped) Smooth(State, Result);
    return Result;
}

void Pixel_Point(const View& Image, int X, int Y, mpfr_prec_t Precision, mpfr_t Re, mpfr_t Im)
{
    Real Spacing(Precision), Scratch(Precision);
    mpfr_set_prec(Re, Precision);
    mpfr_set_prec(Im, Precision);
    Parse(Image.Centre_Re, Re);
    Parse(Image.Centre_Im, Im);
    Parse(Image.Width, Spacing);
    mpfr_div_si(Spacing, Spacing, Spacing_Divisor(Image), MPFR_RNDN);
    Offset_Coordinate(Re, Spacing, X, Image.W, Scratch);
    if (!Image.Height.empty()) {
        Parse(Image.Height, Spacing);
        mpfr_div_si(Spacing, Spacing, std::max(Image.H - 1, 1), MPFR_RNDN);
    }
    Offset_Coordinate(Im, Spacing, Y, Image.H, Scratch);
}

bool Agree(const Pixel_Result& A, const Pixel_Result& B)
{
    if (A.Count != B.Count || A.Escaped != B.Escaped) return false;
    if (!A.Escaped) return true;
    if (A.Smooth_Index != B.Smooth_Index || A.Smooth_Capped != B.Smooth_Capped) return false;
    if (A.Smooth_Capped) return true;
    return std::fabs(A.Smooth_Log - B.Smooth_Log) <= Log_Tolerance * std::max(1.0, std::fabs(A.Smooth_Log));
}

// Why two agreeing precisions are enough: every step of the direct iteration rounds z by about
// 2^-P |z|, and an early rounding error reaches step j multiplied by the orbit's derivative from that
// step to j, which near the set's boundary grows roughly as fast as the orbit departs from its
// neighbours (about 1/s by the time structure at the pixel spacing s shows). The computed orbit at
// precision P therefore carries an error of roughly 2^-P times that growth; raising P by 64 bits
// divides it by 2^64. If the count, the smooth index and ln|z(j)| do not move when the error shrinks
// by that much, the error was already too small to change them (it would have to straddle an escape
// test to within 2^-64 of its own size, once at each precision), so the result is the exact
// arithmetic's. A pixel whose results move is one whose orbit the precision does not resolve, and is
// reported unresolved.
std::vector<Sample_Result> Sample(const View& Image, const std::vector<std::pair<int, int>>& Pixels)
{
    const mpfr_prec_t Start = Start_Precision(Image);
    std::vector<Sample_Result> Results(Pixels.size());
    std::atomic<std::size_t> Next{0};
    auto Work = [&]() {
        for (std::size_t I = Next++; I < Pixels.size(); I = Next++)
            Results[I] = Settle(Image, Pixels[I].first, Pixels[I].second, Start);
    };
    std::vector<std::thread> Helpers;
    for (unsigned T = 1; T < std::thread::hardware_concurrency() && T < Pixels.size(); ++T) Helpers.emplace_back(Work);
    Work();
    for (auto& Helper : Helpers) Helper.join();
    return Results;
}

std::vector<std::pair<int, int>> Sample_Grid(const View& Image, int Count)
{
    std::vector<std::pair<int, int>> Pixels;
    auto Add = [&](int X, int Y) {
        if (std::find(Pixels.begin(), Pixels.end(), std::pair{X, Y}) == Pixels.end()) Pixels.push_back({X, Y});
    };
    // Columns and rows in the image's proportions, each pixel in the middle of its cell.
    const double Aspect = static_cast<double>(Image.W) / Image.H;
    const int Columns = std::clamp(static_cast<int>(std::lround(std::sqrt(Count * Aspect))), 1, Image.W);
    const int Rows = std::clamp(static_cast<int>(std::lround(static_cast<double>(Count) / Columns)), 1, Image.H);
    for (int Row = 0; Row < Rows; ++Row)
        for (int Column = 0; Column < Columns; ++Column)
            Add(static_cast<int>((2LL * Column + 1) * Image.W / (2LL * Columns)),
                static_cast<int>((2LL * Row + 1) * Image.H / (2LL * Rows)));
    // The corners and the centre.
    for (const auto& [X, Y] : {std::pair{0, 0}, {Image.W - 1, 0}, {0, Image.H - 1}, {Image.W - 1, Image.H - 1},
                               {(Image.W - 1) / 2, (Image.H - 1) / 2}})
        Add(X, Y);
    return Pixels;
}

} // namespace Deep_Model
