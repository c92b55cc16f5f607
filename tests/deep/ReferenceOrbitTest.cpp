// The reference orbit through the renderer: one that settles on a cycle stored short and stepped
// around, its progress and cancel, and one orbit reused by the views about one centre.
#include "DeepViews.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

namespace {

using namespace Kestrine_Deep;
using namespace Deep_Views;

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
    Deep_View Basilica = Julia("0.61803", "0.00001", "1e-5", 20000);
    Basilica.C_Re = "-1", Basilica.C_Im = "0";
    for (const Deep_View& View : {Minibrot_37(), Basilica}) {
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

// The parabolic point -3/4 never settles on a cycle exactly: its reference alone would take minutes.
// Its steps show as progress before any pixel's, and Cancel stops it too.
TEST(DeepRenderer, ReferenceProgressAndCancel)
{
    using Clock = std::chrono::steady_clock;
    Deep_Renderer Renderer;
    Deep_Picture Picture;
    std::string Message;
    const Deep_View Parabolic = Mandelbrot("-0.75", "0", "1e-3", 64, 40, 2147483647);
    auto Result = std::async(std::launch::async, [&] { return Renderer.Render(Parabolic, {}, Picture, Message); });
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
