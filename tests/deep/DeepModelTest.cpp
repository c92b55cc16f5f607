// Checks of the deep-view model itself, before anything is compared with it: orbits worked out by
// hand, the pixel mapping, a plain double loop on a shallow view, refusals, and the precision rule.
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

// A one-pixel view: its only pixel is the centre.
View Point_View(bool Mandelbrot, const char* Re, const char* Im, double Threshold, std::int64_t N = 100)
{
    View Image;
    Image.Mandelbrot = Mandelbrot;
    Image.Centre_Re = Re;
    Image.Centre_Im = Im;
    Image.Width = "1";
    Image.Threshold = Threshold;
    Image.N = N;
    return Image;
}

Pixel_Result At_Centre(const View& Image, double Smooth_Radius = 1024)
{
    const auto Result = Iterate_Pixel(Image, 0, 0, 128, Smooth_Radius);
    EXPECT_TRUE(Result.has_value());
    return Result.value_or(Pixel_Result{});
}

View Julia(const char* Re, const char* Im, const char* C_Re, const char* C_Im, double Threshold)
{
    View Image = Point_View(false, Re, Im, Threshold);
    Image.C_Re = C_Re;
    Image.C_Im = C_Im;
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
    // Mandelbrot c = 1: z1 = 1 (|z|^2 = 1 < 4), z2 = 2 (|z|^2 = 4, not below 4): one step accepted.
    // Past it z3 = 5, z4 = 26, z5 = 677, z6 = 458330, the first above R = 1024.
    {
        const Pixel_Result R = At_Centre(Point_View(true, "1", "0", 4));
        EXPECT_EQ(R.Count, 1);
        EXPECT_TRUE(R.Escaped);
        EXPECT_EQ(R.Smooth_Index, 6);
        EXPECT_DOUBLE_EQ(R.Smooth_Log, std::log(458330.0));
        EXPECT_FALSE(R.Smooth_Capped);
    }
    // c = 0 stays at 0; c = i is preperiodic (0, i, -1+i, -i, -1+i, ...) with |z|^2 at most 2.
    EXPECT_EQ(At_Centre(Point_View(true, "0", "0", 4)).Count, 100);
    EXPECT_FALSE(At_Centre(Point_View(true, "0", "1", 4)).Escaped);
    // c = -2: z1 = -2 already has |z|^2 = 4, not below 4, so nothing is accepted; the orbit then sits
    // at 2 and never passes R, which only the step cap ends. With T just above 4 the whole orbit
    // (-2, 2, 2, ...) is accepted.
    {
        const Pixel_Result R = At_Centre(Point_View(true, "-2", "0", 4));
        EXPECT_EQ(R.Count, 0);
        EXPECT_TRUE(R.Escaped);
        EXPECT_TRUE(R.Smooth_Capped);
        EXPECT_EQ(R.Smooth_Index, 1 + Deep_Model::Smooth_Step_Cap);
        EXPECT_TRUE(std::isnan(R.Smooth_Log));
        EXPECT_EQ(At_Centre(Point_View(true, "-2", "0", std::nextafter(4.0, 5.0))).Count, 100);
    }
    // Julia bounds |z|, not |z|^2: z0 = 1.3, c = 0 gives z1 = 1.69 (accepted, though |z1|^2 > 2) and
    // z2 = 2.8561 (refused).
    EXPECT_EQ(At_Centre(Julia("1.3", "0", "0", "0", 2)).Count, 1);
    EXPECT_EQ(At_Centre(Julia("0.5", "0", "0", "0", 2)).Count, 100);
    // z0 = 1, c = 1: z1 = 2 is exactly at T = 2 and refused; just above it, z2 = 5 is the first refused.
    EXPECT_EQ(At_Centre(Julia("1", "0", "1", "0", 2)).Count, 0);
    EXPECT_EQ(At_Centre(Julia("1", "0", "1", "0", std::nextafter(2.0, 3.0))).Count, 1);
    // z0 = 3: z1 = 9 is refused; 9, 81, 6561 then reach R = 1024 at j = 3, or R = 8 at j = 1 (the
    // refused candidate itself counts).
    {
        const Pixel_Result R = At_Centre(Julia("3", "0", "0", "0", 2));
        EXPECT_EQ(R.Count, 0);
        EXPECT_EQ(R.Smooth_Index, 3);
        EXPECT_DOUBLE_EQ(R.Smooth_Log, std::log(6561.0));
        const Pixel_Result Low = At_Centre(Julia("3", "0", "0", "0", 2), 8);
        EXPECT_EQ(Low.Smooth_Index, 1);
        EXPECT_DOUBLE_EQ(Low.Smooth_Log, std::log(9.0));
    }
    // A threshold that is not positive, or NaN, accepts nothing, even where the orbit is fixed at 0.
    for (double T : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(At_Centre(Julia("0", "0", "0", "0", T)).Count, 0) << T;
        EXPECT_EQ(At_Centre(Point_View(true, "0", "0", T)).Count, 0) << T;
    }
    // The largest N is allowed (this orbit leaves at once).
    EXPECT_EQ(At_Centre(Point_View(true, "3", "0", 4, 2147483647)).Count, 0);

    // The mapping: W = 3, H = 2, width 2 gives s = 1, corners at Re -+ s, Im -+ s/2, row 0 lowest.
    {
        View Image = Point_View(true, "0.25", "-0.5", 4);
        Image.W = 3;
        Image.H = 2;
        Image.Width = "2";
        mpfr_t Re, Im;
        mpfr_inits2(64, Re, Im, static_cast<mpfr_ptr>(nullptr));
        const struct {
            int X, Y;
            double Re, Im;
        } Corners[] = {{0, 0, -0.75, -1.0}, {2, 0, 1.25, -1.0}, {0, 1, -0.75, 0.0}, {2, 1, 1.25, 0.0}, {1, 0, 0.25, -1.0}};
        for (const auto& Corner : Corners) {
            ASSERT_TRUE(Deep_Model::Pixel_Point(Image, Corner.X, Corner.Y, 64, Re, Im));
            EXPECT_EQ(mpfr_get_d(Re, MPFR_RNDN), Corner.Re) << Corner.X << "," << Corner.Y;
            EXPECT_EQ(mpfr_get_d(Im, MPFR_RNDN), Corner.Im) << Corner.X << "," << Corner.Y;
        }
        // Deep: W = 5, H = 4, width 1e-40, s = 2.5e-41; the far corner is (Re + 2 s, Im + 1.5 s).
        Image.W = 5;
        Image.H = 4;
        Image.Width = "1e-40";
        Image.Centre_Re = "-0.75";
        Image.Centre_Im = "0.1";
        ASSERT_TRUE(Deep_Model::Pixel_Point(Image, 4, 3, 300, Re, Im));
        EXPECT_LT(Distance(Re, "-0.74999999999999999999999999999999999999995"), 1e-85);
        EXPECT_LT(Distance(Im, "0.1000000000000000000000000000000000000000375"), 1e-85);
        ASSERT_TRUE(Deep_Model::Pixel_Point(Image, 0, 0, 300, Re, Im));
        EXPECT_LT(Distance(Re, "-0.75000000000000000000000000000000000000005"), 1e-85);
        EXPECT_LT(Distance(Im, "0.0999999999999999999999999999999999999999625"), 1e-85);
        // One column: s is the width itself.
        Image.W = 1;
        Image.H = 3;
        Image.Width = "0.5";
        ASSERT_TRUE(Deep_Model::Pixel_Point(Image, 0, 0, 64, Re, Im));
        EXPECT_EQ(mpfr_get_d(Re, MPFR_RNDN), -0.75);
        EXPECT_LT(Distance(Im, "-0.4"), 1e-18);
        mpfr_clears(Re, Im, static_cast<mpfr_ptr>(nullptr));
    }

    // A shallow view against a plain double loop, on every pixel at 64 bits: only pixels whose orbits
    // double's rounding moves may differ, and those lie on the set's boundary, where the counts are
    // high. At 53 bits MPFR rounds every operation as double does, so there the counts must be
    // identical; that is checked on every fourth pixel of every fourth row, to keep the test quick.
    {
        View Image;
        Image.Centre_Re = "-0.5";
        Image.Centre_Im = "0.3";
        Image.Width = "3";
        Image.W = 800;
        Image.H = 600;
        Image.N = 500;
        Image.Threshold = 4;
        const auto Plain = Every_Pixel(Image, 1, [&](int X, int Y) { return Double_Count(Image, X, Y); });
        const auto Ample = Every_Pixel(Image, 1, [&](int X, int Y) { return Iterate_Pixel(Image, X, Y, 64)->Count; });
        const auto Same_Rounding = Every_Pixel(Image, 4, [&](int X, int Y) { return Iterate_Pixel(Image, X, Y, 53)->Count; });
        std::size_t Rounding_Differs = 0, Rounding_Checked = 0, Precision_Differs = 0, Low_Count_Differs = 0, Inside = 0;
        for (std::size_t I = 0; I < Plain.size(); ++I) {
            if (Same_Rounding[I] >= 0) {
                ++Rounding_Checked;
                Rounding_Differs += Plain[I] != Same_Rounding[I];
            }
            Inside += Ample[I] == Image.N;
            if (Plain[I] != Ample[I]) {
                ++Precision_Differs;
                Low_Count_Differs += std::min(Plain[I], Ample[I]) < 30;
            }
        }
        EXPECT_EQ(Rounding_Differs, 0u) << "of " << Rounding_Checked;
        EXPECT_LT(Precision_Differs, Plain.size() / 1000) << "of " << Plain.size();  // under 0.1%
        EXPECT_EQ(Low_Count_Differs, 0u);
        // The view shows the set, not a blank: a fault that escaped everything would agree nowhere else.
        EXPECT_GT(Inside, Plain.size() / 10);
        std::printf("double loop: %zu of %zu pixels differ from 64 bits, %zu inside\n", Precision_Differs,
                    Plain.size(), Inside);
    }

    // Malformed views are refused rather than read as some other number.
    {
        const View Good = Point_View(true, "0", "0", 4);
        ASSERT_TRUE(Iterate_Pixel(Good, 0, 0, 64).has_value());
        for (const char* Text : {"", "1e", "1.2.3", "0x1p3", "nan", "1,5"}) {
            View Bad = Good;
            Bad.Centre_Re = Text;
            EXPECT_FALSE(Iterate_Pixel(Bad, 0, 0, 64).has_value()) << '"' << Text << '"';
        }
        for (const char* Width : {"0", "-1e-300", "1e-99999999999999999999"}) {
            View Bad = Good;
            Bad.Width = Width;
            EXPECT_FALSE(Iterate_Pixel(Bad, 0, 0, 64).has_value()) << Width;
        }
        EXPECT_FALSE(Iterate_Pixel(Good, 1, 0, 64).has_value());
    }
}

TEST(Deep_Model, Sample)
{
    const Misiurewicz::Point Centre = Misiurewicz::Example(400);
    ASSERT_TRUE(Centre.Found);
    View Image;
    Image.Centre_Re = Centre.Re;
    Image.Centre_Im = Centre.Im;
    Image.Width = "1e-50";
    Image.W = 1600;
    Image.H = 1000;
    Image.N = 20000;
    Image.Threshold = 4;

    // The agreement rule: the count, the smooth index and the cap flag exactly, ln|z(j)| to 1e-9.
    {
        Pixel_Result A;
        A.Count = 400;
        A.Escaped = true;
        A.Smooth_Index = 403;
        A.Smooth_Log = 7.5;
        Pixel_Result B = A;
        EXPECT_TRUE(Deep_Model::Agree(A, B));
        B.Smooth_Log = 7.5 + 1e-12;
        EXPECT_TRUE(Deep_Model::Agree(A, B));
        B.Smooth_Log = 7.5 + 1e-7;
        EXPECT_FALSE(Deep_Model::Agree(A, B));
        B = A;
        B.Count = 401;  // the smooth index alone would not tell these apart
        EXPECT_FALSE(Deep_Model::Agree(A, B));
        B = A;
        B.Smooth_Index = 404;
        EXPECT_FALSE(Deep_Model::Agree(A, B));
        B = A;
        B.Smooth_Capped = true;
        EXPECT_FALSE(Deep_Model::Agree(A, B));
        A.Smooth_Capped = true;
        A.Smooth_Log = B.Smooth_Log = std::numeric_limits<double>::quiet_NaN();
        EXPECT_TRUE(Deep_Model::Agree(A, B));
        Pixel_Result Inside, Outside = A;
        Inside.Count = 20000;
        Outside.Count = 20000;  // same count, but one escaped: impossible at one N, and not agreement
        EXPECT_FALSE(Deep_Model::Agree(Inside, Outside));
        EXPECT_TRUE(Deep_Model::Agree(Inside, Inside));
    }

    const auto Pixels = Deep_Model::Sample_Grid(Image, 120);
    {
        // The grid: about as many pixels as asked for, the corners and the centre, inside, no repeats.
        EXPECT_GE(Pixels.size(), 120u);
        EXPECT_LE(Pixels.size(), 140u);
        const std::set<std::pair<int, int>> Unique(Pixels.begin(), Pixels.end());
        EXPECT_EQ(Unique.size(), Pixels.size());
        for (auto Pixel : {std::pair{0, 0}, {1599, 0}, {0, 999}, {1599, 999}, {799, 499}})
            EXPECT_EQ(Unique.count(Pixel), 1u) << Pixel.first << "," << Pixel.second;
        for (const auto& [X, Y] : Pixels) EXPECT_TRUE(X >= 0 && X < 1600 && Y >= 0 && Y < 1000);
    }

    // With the default start every pixel agrees at once; each result is the pixel's own, at the
    // higher precision of the pair.
    const auto Default = Deep_Model::Sample(Image, Pixels);
    ASSERT_TRUE(Default.has_value());
    ASSERT_EQ(Default->size(), Pixels.size());
    std::set<std::int64_t> Counts;
    for (std::size_t I = 0; I < Pixels.size(); ++I) {
        const auto& S = (*Default)[I];
        EXPECT_EQ(std::pair(S.X, S.Y), Pixels[I]);
        EXPECT_TRUE(S.Resolved);
        EXPECT_EQ(S.Rounds, 2);
        EXPECT_EQ(S.Precision, Deep_Model::Start_Precision(Image) + 64);
        const auto Own = Iterate_Pixel(Image, S.X, S.Y, S.Precision);
        ASSERT_TRUE(Own.has_value());
        EXPECT_EQ(S.Result.Count, Own->Count);
        EXPECT_EQ(S.Result.Smooth_Log, Own->Smooth_Log);
        Counts.insert(S.Result.Count);
    }
    // The view has structure: many different counts, not one repeated.
    EXPECT_GT(Counts.size(), 10u);

    // From 64 bits, far too few for pixels 6e-54 apart, the counts move with the precision: Sample
    // must climb until they stop, and end where a much higher precision agrees.
    Deep_Model::Sample_Options Low;
    Low.Start_Precision = 64;
    Low.Threads = 1;
    const auto Climbed = Deep_Model::Sample(Image, Pixels, Low);
    ASSERT_TRUE(Climbed.has_value());
    std::size_t Moved = 0;
    for (std::size_t I = 0; I < Pixels.size(); ++I) {
        const auto& S = (*Climbed)[I];
        const auto At_64 = Iterate_Pixel(Image, S.X, S.Y, 64);
        const auto At_200 = Iterate_Pixel(Image, S.X, S.Y, 200);
        const auto Reference = Iterate_Pixel(Image, S.X, S.Y, 1000);
        ASSERT_TRUE(At_64 && At_200 && Reference);
        EXPECT_TRUE(S.Resolved);
        EXPECT_EQ(S.Result.Count, Reference->Count) << S.X << "," << S.Y;
        EXPECT_EQ(S.Result.Smooth_Index, Reference->Smooth_Index) << S.X << "," << S.Y;
        EXPECT_NEAR(S.Result.Smooth_Log, Reference->Smooth_Log, 1e-9) << S.X << "," << S.Y;
        if (At_64->Count != At_200->Count) {
            ++Moved;
            EXPECT_GT(S.Precision, 128) << S.X << "," << S.Y;
            EXPECT_GT(S.Rounds, 2) << S.X << "," << S.Y;
        }
    }
    EXPECT_GT(Moved, Pixels.size() / 2);

    // A cap too low for two precisions to agree leaves pixels marked unresolved.
    Deep_Model::Sample_Options Capped = Low;
    Capped.Precision_Cap = 100;
    const auto Unresolved = Deep_Model::Sample(Image, {{0, 0}, {799, 499}}, Capped);
    ASSERT_TRUE(Unresolved.has_value());
    for (const auto& S : *Unresolved) {
        EXPECT_FALSE(S.Resolved);
        EXPECT_EQ(S.Rounds, 1);
    }

    // Refusals: a pixel outside, a bad view, a cap below the start.
    EXPECT_FALSE(Deep_Model::Sample(Image, {{0, 0}, {1600, 0}}).has_value());
    View Bad = Image;
    Bad.Width = "0";
    EXPECT_FALSE(Deep_Model::Sample(Bad, {{0, 0}}).has_value());
    EXPECT_TRUE(Deep_Model::Sample_Grid(Bad, 10).empty());
    Deep_Model::Sample_Options Inverted;
    Inverted.Start_Precision = 300;
    Inverted.Precision_Cap = 200;
    EXPECT_FALSE(Deep_Model::Sample(Image, {{0, 0}}, Inverted).has_value());
}
