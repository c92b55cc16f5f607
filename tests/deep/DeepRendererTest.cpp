// The deep renderer as a black box: its public header and the shared library, on whichever device it
// was built for: its pictures against the model, the interior check, refusals and cancelling; and its
// reference orbit: one that settles on a cycle stored short and stepped around, its progress and
// cancel, and one orbit reused by the views about one centre.
#include "DeepViews.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace {

using namespace Kestrine_Deep;
using namespace Deep_Views;

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
        const Samples Model = Sample(Each.View);
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
    const auto Alpha = Fixed_Point(-1, "-0.123", "0.745");
    const Case Cases[] = {
        {"seahorse 1e-6", Mandelbrot("-0.743643887037151", "0.131825904205330", "1e-6", 100, 62, 2000), 0.4},
        {"filled Julia", Julia("0", "0", "3", 1000, "-0.123", "0.745", 96, 72), 0.1},
        {"Julia edge 1e-30", Julia(Alpha.first, Alpha.second, "1e-30", 5000, "-0.123", "0.745", 96, 72), 0.4},
        {"cusp", Mandelbrot("0.250001", "0", "4e-6", 65, 41, 20000), 0.05},
        // Pixels inside the minibrot pass by 0 every 37 steps, and the table's runs land on those passes.
        {"period-37 minibrot 1e-43", Minibrot_37(), 0.05},
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
    for (const auto& [Field, Spoil] : Refusals) {
        Deep_View View = Good;
        Spoil(View);
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
    // The whole set, stepwise, no interior check: most pixels escape within a few steps, those inside
    // (about a sixth) take all 2,000,000, minutes of work. Once the quick ones are done, the share shown
    // is that of the steps, far below that of the pixels.
    const Deep_View Slow = Mandelbrot("-0.5", "0", "4", 400, 250, 2000000);
    Deep_Picture Picture;
    std::string Message;
    auto Result = std::async(std::launch::async, [&] { return Renderer.Render(Slow, {false, false}, Picture, Message); });
    const auto Start = Clock::now();
    while (Renderer.Progress().Done < Slow.Image_Width * std::int64_t{Slow.Image_Height} / 2 &&
           Clock::now() - Start < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Render_Progress Midway = Renderer.Progress();
    EXPECT_GT(Midway.Steps_Expected, 0);
    EXPECT_LT(Midway.Share(), 0.2) << Midway.Done << " pixels of " << Midway.Total;
    Renderer.Cancel();
    const auto Cancelled = Clock::now();
    ASSERT_EQ(Result.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "the render ignored Cancel";
    EXPECT_LT(Clock::now() - Cancelled, std::chrono::seconds(2));
    EXPECT_EQ(Result.get(), Render_Status::Cancelled);
    EXPECT_LT(Midway.Done, Slow.Image_Width * std::int64_t{Slow.Image_Height});
    EXPECT_TRUE(Picture.Counts.empty() && Picture.Smooth.empty()) << Picture.Counts.size();
    EXPECT_FALSE(Message.empty());

    // Afterwards the renderer is ready; a Cancel while idle does not reach the next render.
    const Deep_View Small = Mandelbrot(Centre().Re, Centre().Im, "1e-30", 64, 40, 2000);
    const Samples Model = Sample(Small);
    Expect_Model("after a cancelled render", Render(Renderer, Small), Model);
    Renderer.Cancel();
    Expect_Model("after an idle Cancel", Render(Renderer, Small), Model);

    // The parabolic point -3/4 never settles on a cycle exactly: its reference alone would take minutes.
    // Its steps show as progress before any pixel's, and Cancel stops it too (a fresh renderer, whose
    // progress no earlier render has set).
    Deep_Renderer Parabolic_Renderer;
    const Deep_View Parabolic = Mandelbrot("-0.75", "0", "1e-3", 64, 40, 2147483647);
    Result = std::async(std::launch::async, [&] { return Parabolic_Renderer.Render(Parabolic, {}, Picture, Message); });
    Render_Progress Reference;
    for (const auto Begun = Clock::now(); Reference.Reference_Done == 0 && Clock::now() - Begun < std::chrono::seconds(10);)
        Reference = Parabolic_Renderer.Progress();
    EXPECT_GT(Reference.Reference_Done, 0);
    EXPECT_GT(Reference.Reference_Total, Reference.Reference_Done);
    EXPECT_EQ(Reference.Done, 0);
    Parabolic_Renderer.Cancel();
    ASSERT_EQ(Result.wait_for(std::chrono::seconds(2)), std::future_status::ready) << "the reference ignored Cancel";
    EXPECT_EQ(Result.get(), Render_Status::Cancelled);
    EXPECT_EQ(Parabolic_Renderer.Progress().Reference_Total, 0);
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

    // About the period-37 minibrot's nucleus the pixels escape long after the orbit settles. The
    // basilica's Julia set beside the edge of its middle: a Julia reference's offsets are its own, not
    // its points. Gone back to the start instead of around the cycle, the pixels would lose their
    // offsets from the centre.
    for (const Deep_View& View : {Minibrot_37(), Julia("0.61803", "0.00001", "1e-5", 20000, "-1", "0")}) {
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

TEST(DeepRenderer, ReferenceReuse)
{
    Deep_Renderer Renderer;
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
