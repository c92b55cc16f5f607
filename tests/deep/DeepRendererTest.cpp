// The deep renderer as a black box: its public header and the shared library, on whichever device it
// was built for. Every expected count and smooth value comes from the direct MPFR model or is worked
// out by hand here, never from the renderer itself.
#include "DeepModel.h"
#include "KestrineDeep.h"
#include "Misiurewicz.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Kestrine_Deep;
using Samples = std::vector<Deep_Model::Sample_Result>;

Deep_View Mandelbrot(const std::string& Re, const std::string& Im, const char* Width, int W, int H, std::int64_t N,
                     const char* Height = "")
{
    Deep_View View;
    View.Centre_Re = Re, View.Centre_Im = Im, View.Width = Width, View.Height = Height;
    View.Image_Width = W, View.Image_Height = H, View.Iterations = N;
    return View;
}

Deep_View Julia(const std::string& Re, const std::string& Im, const char* Width, std::int64_t N)
{
    Deep_View View = Mandelbrot(Re, Im, Width, 64, 40, N);
    View.Set = Fractal_Set::Julia, View.Threshold = 2, View.C_Re = "-0.8", View.C_Im = "0.156";
    return View;
}

// The benchmark's Misiurewicz point: the set has structure around it at every depth, and at width w
// its pixels escape after about log(1/w) / log 1.328 steps, so the counts stay modest even at 1e-400.
const Misiurewicz::Point& Centre()
{
    static const Misiurewicz::Point Point = Misiurewicz::Example(1600);
    return Point;
}

std::string Text(mpfr_srcptr X)
{
    std::vector<char> Out(600);
    mpfr_snprintf(Out.data(), Out.size(), "%.480Re", X);
    return Out.data();
}

// A + B, as decimal text: a centre moved off a point.
std::string Add(const std::string& A, const char* B)
{
    mpfr_t X, Y;
    mpfr_inits2(1600, X, Y, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(X, A.c_str(), 10, MPFR_RNDN), mpfr_set_str(Y, B, 10, MPFR_RNDN), mpfr_add(X, X, Y, MPFR_RNDN);
    const std::string Out = Text(X);
    mpfr_clears(X, Y, static_cast<mpfr_ptr>(nullptr));
    return Out;
}

// The fixed point (1 + Sign sqrt(1 - 4c)) / 2 of z^2 + c, for c = C_Re + i C_Im. For -0.8 + 0.156i, outside
// the Mandelbrot set, both are repelling and lie on the Julia set; the pixels around one escape after
// about log(1/w) / log |2z| steps. For a c inside the set, the repelling one lies on the boundary of the
// attracting cycle's basin.
std::pair<std::string, std::string> Fixed_Point(int Sign, const char* C_Re = "-0.8", const char* C_Im = "0.156")
{
    mpfr_t A, B, R, X, Y;
    mpfr_inits2(1600, A, B, R, X, Y, static_cast<mpfr_ptr>(nullptr));
    // 1 - 4c
    mpfr_set_str(A, C_Re, 10, MPFR_RNDN), mpfr_mul_si(A, A, -4, MPFR_RNDN), mpfr_add_ui(A, A, 1, MPFR_RNDN);
    mpfr_set_str(B, C_Im, 10, MPFR_RNDN), mpfr_mul_si(B, B, -4, MPFR_RNDN);
    mpfr_hypot(R, A, B, MPFR_RNDN);
    mpfr_add(X, R, A, MPFR_RNDN), mpfr_div_2ui(X, X, 1, MPFR_RNDN), mpfr_sqrt(X, X, MPFR_RNDN);
    // The root's imaginary part has the sign of B's.
    mpfr_sub(Y, R, A, MPFR_RNDN), mpfr_div_2ui(Y, Y, 1, MPFR_RNDN), mpfr_sqrt(Y, Y, MPFR_RNDN);
    mpfr_setsign(Y, Y, mpfr_signbit(B), MPFR_RNDN);
    mpfr_mul_si(X, X, Sign, MPFR_RNDN), mpfr_mul_si(Y, Y, Sign, MPFR_RNDN);
    mpfr_add_ui(X, X, 1, MPFR_RNDN), mpfr_div_2ui(X, X, 1, MPFR_RNDN), mpfr_div_2ui(Y, Y, 1, MPFR_RNDN);
    std::pair<std::string, std::string> Out{Text(X), Text(Y)};
    mpfr_clears(A, B, R, X, Y, static_cast<mpfr_ptr>(nullptr));
    return Out;
}

Deep_Model::View Model_Of(const Deep_View& View)
{
    Deep_Model::View Out;
    Out.Mandelbrot = View.Set == Fractal_Set::Mandelbrot;
    Out.Centre_Re = View.Centre_Re, Out.Centre_Im = View.Centre_Im, Out.Width = View.Width, Out.Height = View.Height;
    Out.C_Re = View.C_Re, Out.C_Im = View.C_Im;
    Out.W = View.Image_Width, Out.H = View.Image_Height, Out.N = View.Iterations, Out.Threshold = View.Threshold;
    return Out;
}

Samples Sample(const Deep_View& View)
{
    const Deep_Model::View Model = Model_Of(View);
    auto Result = Deep_Model::Sample(Model, Deep_Model::Sample_Grid(Model, 120));
    EXPECT_TRUE(Result.has_value());
    for (const auto& Pixel : Result.value_or(Samples{}))
        EXPECT_TRUE(Pixel.Resolved) << "the model could not settle pixel " << Pixel.X << "," << Pixel.Y;
    return Result.value_or(Samples{});
}

Deep_Picture Render(Deep_Renderer& Renderer, const Deep_View& View, const Render_Options& Options = {})
{
    Deep_Picture Picture;
    std::string Message;
    EXPECT_EQ(Renderer.Render(View, Options, Picture, Message), Render_Status::Finished) << Message;
    const std::size_t Size = static_cast<std::size_t>(View.Image_Width) * View.Image_Height;
    EXPECT_EQ(Picture.Width, View.Image_Width);
    EXPECT_EQ(Picture.Height, View.Image_Height);
    EXPECT_EQ(Picture.Iterations, View.Iterations);
    EXPECT_EQ(Renderer.Progress().Done, static_cast<std::int64_t>(Size));
    if (Picture.Counts.size() != Size || Picture.Smooth.size() != Size) {
        ADD_FAILURE() << "picture of " << Picture.Counts.size() << " counts for " << Size << " pixels";
        Picture.Counts.assign(Size, -1), Picture.Smooth.assign(Size, -1);
    }
    return Picture;
}

std::size_t At(const Deep_Picture& Picture, int X, int Y) { return static_cast<std::size_t>(Y) * Picture.Width + X; }

std::string Where(int X, int Y, double Got, double Want)
{
    return " (" + std::to_string(X) + "," + std::to_string(Y) + "): " + std::to_string(Got) + " for " + std::to_string(Want);
}

// The product's exactness target: 99.5% of the counts equal to the exact arithmetic's, 99% within one.
// The smooth values of the pixels whose counts are right get the same target, 97% within 1e-3 and 99%
// within 0.1: double rounding, amplified along orbits that linger near the Julia set, moves a few of them
// by some hundredths even stepwise.
void Expect_Model(const char* Name, const Deep_Picture& Picture, const Samples& Model)
{
    ASSERT_GE(Model.size(), 100u) << Name;
    std::size_t Equal = 0, Near = 0, Compared = 0, Close = 0, Near_Smooth = 0;
    std::string Misses, Smooth_Misses;
    for (const auto& Pixel : Model) {
        const std::size_t I = At(Picture, Pixel.X, Pixel.Y);
        const auto& Want = Pixel.Result;
        Equal += Picture.Counts[I] == Want.Count, Near += std::llabs(Picture.Counts[I] - Want.Count) <= 1;
        if (Picture.Counts[I] != Want.Count) {
            if (Misses.size() < 300) Misses += Where(Pixel.X, Pixel.Y, Picture.Counts[I], Want.Count);
            continue;
        }
        if (Want.Smooth_Capped) continue;
        // k + 1 - log2(ln|z(j)| / ln 1024), z(j) the first point past the failed candidate with |z| > 1024
        // and k = j - 1 the step reaching it, counted as the counts are: z(Count + 1) comes from step Count.
        const double Mu = Want.Escaped ? Want.Smooth_Index - std::log2(Want.Smooth_Log / std::log(1024.0))
                                       : static_cast<double>(Picture.Iterations);
        const double Error = std::fabs(Picture.Smooth[I] - Mu);
        ++Compared, Close += Error <= 1e-3 + Mu * 1e-7, Near_Smooth += Error <= 0.1;
        if (Error > 1e-3 + Mu * 1e-7 && Smooth_Misses.size() < 300)
            Smooth_Misses += Where(Pixel.X, Pixel.Y, Picture.Smooth[I], Mu);
    }
    EXPECT_GE(Equal, 0.995 * Model.size()) << Name << Misses;
    EXPECT_GE(Near, 0.99 * Model.size()) << Name << Misses;
    EXPECT_GE(Close, 0.97 * Compared) << Name << " smooth" << Smooth_Misses;
    EXPECT_GE(Near_Smooth, 0.99 * Compared) << Name << " smooth" << Smooth_Misses;
    // Everywhere: a never-escaped pixel's smooth value is its count; an escaped one's lies past it.
    for (std::size_t I = 0; I < Picture.Counts.size(); ++I) {
        if (Picture.Counts[I] == Picture.Iterations)
            ASSERT_EQ(Picture.Smooth[I], static_cast<float>(Picture.Iterations)) << Name << " pixel " << I;
        else
            ASSERT_GT(Picture.Smooth[I], Picture.Counts[I]) << Name << " pixel " << I;
    }
}

TEST(DeepRenderer, MatchesModel)
{
    struct Case {
        const char* Name;
        Deep_View View;
        Number_Type Type;
        bool Centre_First;  // the reference orbit ends long before many pixels, which must go on without it
    };
    const auto Beta = Fixed_Point(1), Alpha = Fixed_Point(-1);
    const Case Cases[] = {
        {"Misiurewicz 1e-30", Mandelbrot(Centre().Re, Centre().Im, "1e-30", 64, 40, 2000), Number_Type::Double, false},
        {"Misiurewicz 1e-400", Mandelbrot(Centre().Re, Centre().Im, "1e-400", 64, 40, 5000), Number_Type::Extended, false},
        // Rows 2.5 times as far apart as the columns, as in a window of any shape.
        {"Misiurewicz 1e-30 stretched", Mandelbrot(Centre().Re, Centre().Im, "1e-30", 64, 40, 2000, "1.5e-30"),
         Number_Type::Double, false},
        {"Julia alpha 1e-40", Julia(Alpha.first, Alpha.second, "1e-40", 4000), Number_Type::Double, false},
        {"Julia beta 1e-400", Julia(Beta.first, Beta.second, "1e-400", 3000), Number_Type::Extended, false},
        // Just right of the cardioid's cusp: the centre escapes after about pi / sqrt(1e-6) steps, while
        // the pixels off the real axis are inside the set.
        {"cusp", Mandelbrot("0.250001", "0", "4e-6", 65, 41, 20000), Number_Type::Double, true},
        // Above the Misiurewicz point by four tenths of the width: most pixels nearer it outlast the centre.
        {"beside Misiurewicz", Mandelbrot(Centre().Re, Add(Centre().Im, "4e-401"), "1e-400", 65, 41, 5000),
         Number_Type::Extended, true},
    };
    Deep_Renderer Renderer;
    ASSERT_TRUE(Renderer.Ready()) << Renderer.Device_Name();
    for (const Case& Each : Cases) {
        EXPECT_EQ(Check_View(Each.View), "") << Each.Name;
        EXPECT_EQ(Number_Type_For(Each.View), Each.Type) << Each.Name;
        const Samples Model = Sample(Each.View);
        ASSERT_FALSE(Model.empty()) << Each.Name;
        if (Each.Centre_First) {
            // The grid's last entry is the centre pixel, for odd sizes the view's centre itself.
            std::size_t Longer = 0;
            for (const auto& Pixel : Model) Longer += Pixel.Result.Count > Model.back().Result.Count;
            ASSERT_TRUE(Model.back().Result.Escaped) << Each.Name;
            ASSERT_GE(Longer, 10u) << Each.Name << ": too few pixels outlast the centre to test anything";
        }
        const Deep_Picture Picture = Render(Renderer, Each.View);
        EXPECT_EQ(Renderer.Last_Stats().Type, Each.Type) << Each.Name;
        Expect_Model(Each.Name, Picture, Model);
        // Approximation may change a count only where double rounding puts an orbit across a test.
        const Deep_Picture Stepwise = Render(Renderer, Each.View, {false});
        std::size_t Same = 0;
        for (std::size_t I = 0; I < Picture.Counts.size(); ++I) Same += Picture.Counts[I] == Stepwise.Counts[I];
        EXPECT_GE(Same, 0.99 * Picture.Counts.size()) << Each.Name << ": approximation on and off";
    }
}

// Views full of interior, walked with the interior check and without: every pixel gets the very same
// count and smooth value (those that escape, and the full count for the others), and the check must
// save the share of steps given (a check that never stops a pixel would pass the rest).
TEST(DeepRenderer, InteriorCheckChangesNoEscape)
{
    struct Case {
        const char* Name;
        Deep_View View;
        double Most_Steps_Kept; // the share of the full walk's steps the check may take at most
    };
    // The rabbit: c in the period-3 bulb, whose attracting cycle fills most of the filled Julia set;
    // and deep at its repelling fixed point, where the basin's components meet.
    Deep_View Filled_Julia = Mandelbrot("0", "0", "3", 96, 72, 1000);
    Filled_Julia.Set = Fractal_Set::Julia, Filled_Julia.C_Re = "-0.123", Filled_Julia.C_Im = "0.745";
    const auto Alpha = Fixed_Point(-1, "-0.123", "0.745");
    Deep_View Julia_Edge = Mandelbrot(Alpha.first, Alpha.second, "1e-30", 96, 72, 5000);
    Julia_Edge.Set = Fractal_Set::Julia, Julia_Edge.C_Re = "-0.123", Julia_Edge.C_Im = "0.745";
    // A period-37 minibrot near -2, some 1e-43 across, on a view its own size: pixels inside it pass
    // by 0 every 37 steps, and the table's runs land on those passes. Its nucleus by Newton's method.
    const Misiurewicz::Point Nucleus = Misiurewicz::Find(0, 37, "-1.99999999999999999999921626", "0", 300);
    ASSERT_FALSE(Nucleus.Re.empty());
    Deep_View Minibrot = Mandelbrot(Nucleus.Re, "0", "1.5e-43", 80, 50, 20000);
    Minibrot.Threshold = 5; // z = 2 and -2 lie on its orbit
    const Case Cases[] = {
        {"seahorse 1e-6", Mandelbrot("-0.743643887037151", "0.131825904205330", "1e-6", 100, 62, 2000), 0.4},
        {"filled Julia", Filled_Julia, 0.1},
        {"Julia edge 1e-30", Julia_Edge, 0.4},
        {"cusp", Mandelbrot("0.250001", "0", "4e-6", 65, 41, 20000), 0.05},
        {"period-37 minibrot 1e-43", Minibrot, 0.05},
    };
    for (const Case& Each : Cases) {
        Deep_Renderer Renderer;
        const Deep_Picture Walked = Render(Renderer, Each.View, {true, false});
        const auto Steps = [&] {
            return Renderer.Last_Stats().Perturbation_Steps_Per_Pixel + Renderer.Last_Stats().Approximation_Steps_Per_Pixel;
        };
        const double Walked_Steps = Steps();
        const Deep_Picture Checked = Render(Renderer, Each.View);
        const double Checked_Steps = Steps();
        std::size_t Interior = 0;
        for (std::size_t I = 0; I < Walked.Counts.size(); ++I) {
            ASSERT_EQ(Checked.Counts[I], Walked.Counts[I]) << Each.Name << " pixel " << I;
            ASSERT_EQ(Checked.Smooth[I], Walked.Smooth[I]) << Each.Name << " pixel " << I;
            Interior += Walked.Counts[I] == Each.View.Iterations;
        }
        EXPECT_GE(Interior, Walked.Counts.size() / 10) << Each.Name << ": too little interior to test the check";
        EXPECT_LE(Checked_Steps, Each.Most_Steps_Kept * Walked_Steps) << Each.Name;
    }
}

// A centre caught by an attracting cycle: its reference stops once it comes back to itself, so that
// 2^31 - 1 iterations take little memory. Stepped around the cycle from a short stored orbit, a view
// whose pixels escape long after gives the very counts of the whole orbit walked step by step, and
// with the table the model's picture.
TEST(DeepRenderer, CyclesBoundTheReference)
{
    Deep_Renderer Renderer;
    const Deep_View Inside = Mandelbrot("-0.1", "0.1", "1e-3", 64, 40, 2147483647);
    const Deep_Picture All = Render(Renderer, Inside);
    EXPECT_LE(Renderer.Last_Stats().Reference_Length, 1 << 20);
    for (const auto Count : All.Counts)
        ASSERT_EQ(Count, Inside.Iterations);

    // A period-37 minibrot near -2, 1e-43 across, about its nucleus: the orbit settles within a few
    // hundred steps, and the pixels about the minibrot escape long after. The basilica's Julia set
    // beside the edge of its middle: a Julia reference's offsets are its own, not its points. Gone back
    // to the start instead of around the cycle, the pixels would lose their offsets from the centre.
    const Misiurewicz::Point Nucleus = Misiurewicz::Find(0, 37, "-1.99999999999999999999921626", "0", 300);
    ASSERT_FALSE(Nucleus.Re.empty());
    Deep_View Minibrot = Mandelbrot(Nucleus.Re, "0", "1.5e-43", 80, 50, 20000);
    Minibrot.Threshold = 5; // z = 2 and -2 lie on its orbit
    Deep_View Basilica = Julia("0.61803", "0.00001", "1e-5", 20000);
    Basilica.C_Re = "-1", Basilica.C_Im = "0";
    for (const Deep_View& View : {Minibrot, Basilica}) {
        Render_Options Whole{false}, Short{false};
        Short.Cycle_Kept = 1;
        Deep_Renderer Walking, Stepping;
        const Deep_Picture Walked = Render(Walking, View, Whole);
        const Deep_Picture Stepped_Around = Render(Stepping, View, Short);
        const std::int64_t Stored = Stepping.Last_Stats().Reference_Length;
        ASSERT_LT(Stored, View.Iterations / 2);
        std::size_t Past_The_Orbit = 0;
        for (const auto Count : Walked.Counts)
            Past_The_Orbit += Count > Stored && Count < View.Iterations;
        EXPECT_GE(Past_The_Orbit, 10u) << View.Centre_Re << ": stored " << Stored;
        EXPECT_EQ(Stepped_Around.Counts, Walked.Counts) << View.Centre_Re;
        EXPECT_EQ(Stepped_Around.Smooth, Walked.Smooth) << View.Centre_Re;
        Deep_Renderer Tabled;
        Short.Approximation = true;
        Expect_Model("stepped around the cycle", Render(Tabled, View, Short), Sample(View));
    }
}

TEST(DeepRenderer, Refusals)
{
    // Each with a word the message must name.
    const std::pair<const char*, void (*)(Deep_View&)> Refusals[] = {
        {"centre", [](Deep_View& V) { V.Centre_Re = "1.2.3"; }},
        {"centre", [](Deep_View& V) { V.Centre_Im = ""; }},
        {"centre", [](Deep_View& V) { V.Centre_Re = "abc"; }},
        {"width", [](Deep_View& V) { V.Width = "0"; }},
        {"width", [](Deep_View& V) { V.Width = "-1e-5"; }},
        {"height", [](Deep_View& V) { V.Height = "0"; }},
        {"height", [](Deep_View& V) { V.Height = "1e5"; }},
        {"image", [](Deep_View& V) { V.Image_Width = 0; }},
        {"image", [](Deep_View& V) { V.Image_Height = 0; }},
        {"iterations", [](Deep_View& V) { V.Iterations = 0; }},
        {"iterations", [](Deep_View& V) { V.Iterations = std::int64_t{1} << 31; }},
        {"constant", [](Deep_View& V) { V.Set = Fractal_Set::Julia, V.C_Im = "0.1e"; }},
    };
    Deep_Renderer Renderer;
    const Deep_View Good = Mandelbrot("-0.75", "0.1", "1e-3", 8, 6, 100);
    ASSERT_EQ(Check_View(Good), "");
    Deep_View Longest = Good;
    Longest.Iterations = (std::int64_t{1} << 31) - 1;
    EXPECT_EQ(Check_View(Longest), "");
    for (const auto& [Field, Spoil] : Refusals) {
        Deep_View View = Good;
        Spoil(View);
        const std::string Why = Check_View(View);
        EXPECT_NE(Why.find(Field), std::string::npos) << Field << ": \"" << Why << "\"";
        Deep_Picture Picture;
        Picture.Width = Picture.Height = 2, Picture.Counts.assign(4, 7), Picture.Smooth.assign(4, 7);
        std::string Message;
        EXPECT_EQ(Renderer.Render(View, {}, Picture, Message), Render_Status::Refused) << Field;
        EXPECT_NE(Message.find(Field), std::string::npos) << Field << ": \"" << Message << "\"";
        EXPECT_TRUE(Picture.Counts.empty() && Picture.Smooth.empty() && Picture.Width * Picture.Height == 0) << Field;
    }
}

TEST(DeepRenderer, Cancel)
{
    using Clock = std::chrono::steady_clock;
    Deep_Renderer Renderer;
    ASSERT_TRUE(Renderer.Ready()) << Renderer.Device_Name();
    // Deep inside the cardioid and stepwise: every pixel takes all 200000 steps, minutes of work.
    const Deep_View Slow = Mandelbrot("-0.1", "0.1", "1e-20", 1600, 1000, 200000);
    Deep_Picture Picture;
    std::string Message;
    auto Result = std::async(std::launch::async, [&] { return Renderer.Render(Slow, {false}, Picture, Message); });
    const auto Start = Clock::now();
    while (Renderer.Progress().Done == 0 && Clock::now() - Start < std::chrono::milliseconds(50))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Render_Progress Midway = Renderer.Progress();
    Renderer.Cancel();
    const auto Cancelled = Clock::now();
    ASSERT_EQ(Result.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "the render ignored Cancel";
    EXPECT_LT(Clock::now() - Cancelled, std::chrono::seconds(2));
    EXPECT_EQ(Result.get(), Render_Status::Cancelled);
    EXPECT_LT(Midway.Done, Slow.Image_Width * std::int64_t{Slow.Image_Height});
    EXPECT_TRUE(Picture.Counts.empty() && Picture.Smooth.empty()) << Picture.Counts.size();
    EXPECT_FALSE(Message.empty());

    // The parabolic point -3/4 never settles on a cycle exactly: its reference alone would take
    // minutes. Its steps show as progress before any pixel's, and Cancel stops it too.
    const Deep_View Parabolic = Mandelbrot("-0.75", "0", "1e-3", 64, 40, 2147483647);
    Result = std::async(std::launch::async, [&] { return Renderer.Render(Parabolic, {}, Picture, Message); });
    Render_Progress Reference;
    for (const auto Begun = Clock::now(); Reference.Reference_Done == 0 && Clock::now() - Begun < std::chrono::seconds(10);)
        Reference = Renderer.Progress();
    EXPECT_GT(Reference.Reference_Done, 0);
    EXPECT_GT(Reference.Reference_Total, Reference.Reference_Done);
    EXPECT_EQ(Reference.Done, 0);
    Renderer.Cancel();
    ASSERT_EQ(Result.wait_for(std::chrono::seconds(2)), std::future_status::ready) << "the reference ignored Cancel";
    EXPECT_EQ(Result.get(), Render_Status::Cancelled);
    EXPECT_EQ(Renderer.Progress().Reference_Total, 0);

    // Afterwards the renderer is ready; a Cancel while idle does not reach the next render.
    const Deep_View Small = Mandelbrot(Centre().Re, Centre().Im, "1e-30", 64, 40, 2000);
    const Samples Model = Sample(Small);
    Expect_Model("after a cancelled render", Render(Renderer, Small), Model);
    Renderer.Cancel();
    Expect_Model("after an idle Cancel", Render(Renderer, Small), Model);
}

TEST(DeepRenderer, ReferenceReuse)
{
    Deep_Renderer Renderer;
    ASSERT_TRUE(Renderer.Ready()) << Renderer.Device_Name();
    Deep_View View = Mandelbrot(Centre().Re, Centre().Im, "1e-30", 64, 40, 2000);
    Render(Renderer, View);
    EXPECT_FALSE(Renderer.Last_Stats().Reference_Reused);
    View.Width = "2e-31";
    const Deep_Picture Closer = Render(Renderer, View);
    EXPECT_TRUE(Renderer.Last_Stats().Reference_Reused);
    EXPECT_EQ(Renderer.Last_Stats().Reference_Seconds, 0);
    Expect_Model("zoomed in on the same centre", Closer, Sample(View));
    // A different centre needs an orbit of its own.
    View.Centre_Re = Add(Centre().Re, "1e-31");
    const Deep_Picture Moved = Render(Renderer, View);
    EXPECT_FALSE(Renderer.Last_Stats().Reference_Reused);
    Expect_Model("moved off the centre", Moved, Sample(View));

    // A run of views asks for the deepest one's bits: a shallow view then takes them, its picture the
    // same before and after the deep view was rendered, and the deep view reuses its orbit.
    const Deep_View Shallow = Mandelbrot(Centre().Re, Centre().Im, "1e-20", 48, 30, 2000);
    const Deep_View Deep = Mandelbrot(Centre().Re, Centre().Im, "1e-200", 48, 30, 2000);
    Render_Options Run;
    Run.Reference_Bits = Reference_Bits_For(Deep);
    EXPECT_GE(Run.Reference_Bits, 664 + 96); // 1e-200 is 2^-664
    EXPECT_LT(Reference_Bits_For(Shallow), Run.Reference_Bits);
    const Deep_Picture First = Render(Renderer, Shallow, Run);
    EXPECT_EQ(Renderer.Last_Stats().Precision_Bits, Run.Reference_Bits);
    Expect_Model("a deep run's shallow view", First, Sample(Shallow));
    Render(Renderer, Deep, Run);
    EXPECT_TRUE(Renderer.Last_Stats().Reference_Reused);
    EXPECT_EQ(Render(Renderer, Shallow, Run).Counts, First.Counts);
    Deep_Picture Picture;
    std::string Message;
    Run.Reference_Bits = Most_Reference_Bits + 1;
    EXPECT_EQ(Renderer.Render(Shallow, Run, Picture, Message), Render_Status::Refused);
    EXPECT_NE(Message.find("reference bits"), std::string::npos) << Message;
}

} // namespace
