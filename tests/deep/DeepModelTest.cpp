// Checks of the deep-view model itself, before anything is compared with it: orbits worked out by
// hand, the pixel mapping, a plain double loop on a shallow view, and the precision rule.
#include "DeepModel.h"
#include "Misiurewicz.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>
#include <thread>

namespace {

using Deep_Model::Iterate_Pixel;
using Deep_Model::Pixel_Result;
using Deep_Model::View;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A one-pixel view: its only pixel is the centre, for Julia the orbit's start.
View Point_View(bool Mandelbrot, const char* Re, const char* Im, double Threshold)
{
    View Image;
    Image.Mandelbrot = Mandelbrot;
    Image.Centre_Re = Re, Image.Centre_Im = Im, Image.Width = "1";
    Image.Threshold = Threshold;
    Image.N = 100;
    return Image;
}

// |a - b| for an MPFR number and a decimal string, at the number's precision plus some.
double Distance(mpfr_t A, const char* B)
{
    mpfr_t Expected;
    mpfr_init2(Expected, mpfr_get_prec(A) + 64);
    mpfr_set_str(Expected, B, 10, MPFR_RNDN);
    mpfr_sub(Expected, Expected, A, MPFR_RNDN);
    const double Out = std::fabs(mpfr_get_d(Expected, MPFR_RNDN));
    mpfr_clear(Expected);
    return Out;
}

// The shallow view as a plain double loop would draw it: the same mapping and recurrence, unfused.
std::int64_t Double_Count(const View& Image, int X, int Y)
{
    const double Spacing = std::stod(Image.Width) / (Image.W - 1);
    const double C_Re = std::stod(Image.Centre_Re) + (2.0 * X - (Image.W - 1)) * Spacing / 2;
    const double C_Im = std::stod(Image.Centre_Im) + (2.0 * Y - (Image.H - 1)) * Spacing / 2;
    double Re = 0, Im = 0;
    for (std::int64_t J = 0; J < Image.N; ++J) {
        const double Next_Im = 2 * Re * Im + C_Im;
        Re = Re * Re - Im * Im + C_Re;
        Im = Next_Im;
        if (!(Re * Re + Im * Im < Image.Threshold)) return J;
    }
    return Image.N;
}

// Fn(x, y) for every Stride-th pixel of every Stride-th row, on all cores; -1 for pixels skipped.
template <typename Function> std::vector<std::int64_t> Every_Pixel(const View& Image, int Stride, Function Fn)
{
    std::vector<std::int64_t> Counts(static_cast<std::size_t>(Image.W) * Image.H, -1);
    std::atomic<int> Next_Row{0};
    auto Work = [&]() {
        for (int Y = Stride * Next_Row++; Y < Image.H; Y = Stride * Next_Row++)
            for (int X = 0; X < Image.W; X += Stride) Counts[static_cast<std::size_t>(Y) * Image.W + X] = Fn(X, Y);
    };
    std::vector<std::thread> Threads;
    for (unsigned T = 1; T < std::max(1u, std::thread::hardware_concurrency()); ++T) Threads.emplace_back(Work);
    Work();
    for (auto& Thread : Threads) Thread.join();
    return Counts;
}

} // namespace

TEST(Deep_Model, Iteration)
{
    // Orbits worked out by hand, N = 100. Smooth: the first j >= Count + 1 with |z(j)| > 1024 and
    // ln|z(j)|, NaN for an orbit that never passes 1024, which only the step cap ends (at Count + 1 + the cap).
    const std::int64_t Capped = 1 + Deep_Model::Smooth_Step_Cap;
    const struct {
        bool Mandelbrot;
        const char *Re, *Im, *C_Re;
        double Threshold;
        std::int64_t Count, Smooth_Index;
        double Smooth_Log;
    } Cases[] = {
        // Mandelbrot c = 1: z1 = 1 (|z|^2 = 1 < 4), z2 = 2 (|z|^2 = 4, not below 4): one step accepted.
        // Past it z3 = 5, z4 = 26, z5 = 677, z6 = 458330, the first above 1024.
        {true, "1", "0", "0", 4, 1, 6, std::log(458330.0)},
        // c = 0 stays at 0; c = i is preperiodic (0, i, -1+i, -i, -1+i, ...) with |z|^2 at most 2.
        {true, "0", "0", "0", 4, 100, 0, 0},
        {true, "0", "1", "0", 4, 100, 0, 0},
        // c = -2: z1 = -2 already has |z|^2 = 4, so nothing is accepted; the orbit then sits at 2 and never
        // passes 1024. With T just above 4 the whole orbit (-2, 2, 2, ...) is accepted.
        {true, "-2", "0", "0", 4, 0, Capped, NaN},
        {true, "-2", "0", "0", std::nextafter(4.0, 5.0), 100, 0, 0},
        // Julia bounds |z|, not |z|^2: z0 = 1.3, c = 0 gives z1 = 1.69 (accepted, though |z1|^2 > 2) and
        // z2 = 2.8561 (refused); z5 = 1.3^32 is the first above 1024.
        {false, "1.3", "0", "0", 2, 1, 5, 32 * std::log(1.3)},
        {false, "0.5", "0", "0", 2, 100, 0, 0},
        // z0 = 1, c = 1: z1 = 2 is exactly at T = 2 and refused; just above it, z2 = 5 is the first refused.
        {false, "1", "0", "1", 2, 0, 5, std::log(458330.0)},
        {false, "1", "0", "1", std::nextafter(2.0, 3.0), 1, 5, std::log(458330.0)},
        // z0 = 3: z1 = 9 is refused; 9, 81, 6561 then pass 1024 at j = 3.
        {false, "3", "0", "0", 2, 0, 3, std::log(6561.0)},
    };
    for (const auto& Each : Cases) {
        View Image = Point_View(Each.Mandelbrot, Each.Re, Each.Im, Each.Threshold);
        Image.C_Re = Each.C_Re;
        const Pixel_Result R = Iterate_Pixel(Image, 0, 0, 128);
        SCOPED_TRACE(testing::Message() << (Each.Mandelbrot ? "Mandelbrot " : "Julia ") << Each.Re << "+" << Each.Im
                                        << "i, T " << Each.Threshold);
        EXPECT_EQ(R.Count, Each.Count);
        EXPECT_EQ(R.Smooth_Index, Each.Smooth_Index);
        EXPECT_EQ(R.Smooth_Capped, std::isnan(Each.Smooth_Log));
        if (!std::isnan(Each.Smooth_Log)) {
            EXPECT_DOUBLE_EQ(R.Smooth_Log, Each.Smooth_Log);
        }
    }

    // The mapping: W = 3, H = 2, width 2 gives s = 1, corners at Re -+ s, Im -+ s/2, row 0 lowest. Deep:
    // W = 5, H = 4, width 1e-40, s = 2.5e-41, corners at (Re -+ 2 s, Im -+ 1.5 s). One column: s is the
    // width itself.
    const struct {
        int W, H;
        const char *Width, *Re, *Im;
        int X, Y, Precision;
        const char *Want_Re, *Want_Im;
        double Tolerance;
    } Points[] = {
        {3, 2, "2", "0.25", "-0.5", 0, 0, 64, "-0.75", "-1", 0},
        {3, 2, "2", "0.25", "-0.5", 2, 1, 64, "1.25", "0", 0},
        {3, 2, "2", "0.25", "-0.5", 1, 0, 64, "0.25", "-1", 0},
        {5, 4, "1e-40", "-0.75", "0.1", 4, 3, 300, "-0.74999999999999999999999999999999999999995",
         "0.1000000000000000000000000000000000000000375", 1e-85},
        {5, 4, "1e-40", "-0.75", "0.1", 0, 0, 300, "-0.75000000000000000000000000000000000000005",
         "0.0999999999999999999999999999999999999999625", 1e-85},
        {1, 3, "0.5", "-0.75", "0.1", 0, 0, 64, "-0.75", "-0.4", 1e-18},
    };
    mpfr_t Re, Im;
    mpfr_inits2(64, Re, Im, static_cast<mpfr_ptr>(nullptr));
    for (const auto& Each : Points) {
        View Image = Point_View(true, Each.Re, Each.Im, 4);
        Image.W = Each.W, Image.H = Each.H, Image.Width = Each.Width;
        Deep_Model::Pixel_Point(Image, Each.X, Each.Y, Each.Precision, Re, Im);
        EXPECT_LE(Distance(Re, Each.Want_Re), Each.Tolerance) << Each.W << "x" << Each.H << " " << Each.X << "," << Each.Y;
        EXPECT_LE(Distance(Im, Each.Want_Im), Each.Tolerance) << Each.W << "x" << Each.H << " " << Each.X << "," << Each.Y;
    }
    mpfr_clears(Re, Im, static_cast<mpfr_ptr>(nullptr));

    // A shallow view against a plain double loop, on every pixel at 64 bits: only pixels whose orbits
    // double's rounding moves may differ, and those lie on the set's boundary, where the counts are
    // high. At 53 bits MPFR rounds every operation as double does, so there the counts must be
    // identical; that is checked on every fourth pixel of every fourth row, to keep the test quick.
    {
        View Image;
        Image.Centre_Re = "-0.5", Image.Centre_Im = "0.3", Image.Width = "3";
        Image.W = 800, Image.H = 600, Image.N = 500, Image.Threshold = 4;
        const auto Plain = Every_Pixel(Image, 1, [&](int X, int Y) { return Double_Count(Image, X, Y); });
        const auto Ample = Every_Pixel(Image, 1, [&](int X, int Y) { return Iterate_Pixel(Image, X, Y, 64).Count; });
        const auto Same_Rounding = Every_Pixel(Image, 4, [&](int X, int Y) { return Iterate_Pixel(Image, X, Y, 53).Count; });
        std::size_t Rounding_Differs = 0, Rounding_Checked = 0, Precision_Differs = 0, Low_Count_Differs = 0, Inside = 0;
        for (std::size_t I = 0; I < Plain.size(); ++I) {
            Rounding_Checked += Same_Rounding[I] >= 0;
            Rounding_Differs += Same_Rounding[I] >= 0 && Plain[I] != Same_Rounding[I];
            Inside += Ample[I] == Image.N;
            Precision_Differs += Plain[I] != Ample[I];
            Low_Count_Differs += Plain[I] != Ample[I] && std::min(Plain[I], Ample[I]) < 30;
        }
        EXPECT_EQ(Rounding_Differs, 0u) << "of " << Rounding_Checked;
        EXPECT_LT(Precision_Differs, Plain.size() / 1000) << "of " << Plain.size();  // under 0.1%
        EXPECT_EQ(Low_Count_Differs, 0u);
        // The view shows the set, not a blank: a fault that escaped everything would agree nowhere else.
        EXPECT_GT(Inside, Plain.size() / 10);
        std::printf("double loop: %zu of %zu pixels differ from 64 bits, %zu inside\n", Precision_Differs,
                    Plain.size(), Inside);
    }
}

TEST(Deep_Model, Sample)
{
    const Misiurewicz::Point Centre = Misiurewicz::Example(400);
    ASSERT_TRUE(Centre.Found);
    View Image;
    Image.Centre_Re = Centre.Re, Image.Centre_Im = Centre.Im, Image.Width = "1e-50";
    Image.W = 1600, Image.H = 1000, Image.N = 20000, Image.Threshold = 4;
    // The grid: about as many pixels as asked for, the corners and the centre each once.
    const auto Pixels = Deep_Model::Sample_Grid(Image, 120);
    EXPECT_TRUE(Pixels.size() >= 120u && Pixels.size() <= 140u) << Pixels.size();
    for (auto Pixel : {std::pair{0, 0}, {1599, 0}, {0, 999}, {1599, 999}, {799, 499}})
        EXPECT_EQ(std::count(Pixels.begin(), Pixels.end(), Pixel), 1) << Pixel.first << "," << Pixel.second;

    // Each result is the pixel's own at 64 bits past the start, and a much higher precision agrees;
    // at 64 bits, far too few for pixels 6e-54 apart, most counts are others.
    const auto Settled = Deep_Model::Sample(Image, Pixels);
    std::set<std::int64_t> Counts;
    std::size_t Moved = 0;
    for (std::size_t I = 0; I < Pixels.size(); ++I) {
        const auto& S = Settled[I];
        const auto [X, Y] = Pixels[I];
        EXPECT_TRUE(std::pair(S.X, S.Y) == Pixels[I] && S.Resolved);
        const Pixel_Result At_64 = Iterate_Pixel(Image, X, Y, 64), Reference = Iterate_Pixel(Image, X, Y, 1000);
        EXPECT_TRUE(Deep_Model::Agree(S.Result, Reference)) << X << "," << Y;
        Counts.insert(S.Result.Count);
        Moved += At_64.Count != Reference.Count;
    }
    // The view has structure: many different counts, not one repeated.
    EXPECT_GT(Counts.size(), 10u);
    EXPECT_GT(Moved, Pixels.size() / 2);
}
