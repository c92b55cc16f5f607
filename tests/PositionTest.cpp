// Positions as files: every digit kept at any depth, the faults refused with the line they are on, and
// the view the program renders read back exactly. The expected values come from MPFR here.
#include "PlaneView.h"
#include "Position.h"

#include <gtest/gtest.h>

#include <mpfr.h>

#include <array>
#include <string>

namespace {

// |A - B| <= Bound, every number read at 4000 bits.
bool Within(const std::string& A, const std::string& B, const std::string& Bound)
{
    mpfr_t X, Y, Limit;
    mpfr_inits2(4000, X, Y, Limit, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(X, A.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(Y, B.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(Limit, Bound.c_str(), 10, MPFR_RNDN);
    mpfr_sub(X, X, Y, MPFR_RNDN);
    mpfr_abs(X, X, MPFR_RNDN);
    const bool Close = mpfr_cmp(X, Limit) <= 0;
    mpfr_clears(X, Y, Limit, static_cast<mpfr_ptr>(nullptr));
    return Close;
}

Position Of_View(const Plane_View& View)
{
    Position Place;
    Place.Mandelbrot = true;
    Place.Centre_Re = View.Exact_Centre(Axis::Real);
    Place.Centre_Im = View.Exact_Centre(Axis::Imaginary);
    Place.Width = View.Exact_Extent(Axis::Real);
    Place.Height = View.Exact_Extent(Axis::Imaginary);
    return Place;
}

TEST(Position, AViewThreeHundredOrdersDeepComesBackWithEveryDigit)
{
    // 330 decimals typed: the last of them is a 1e-30 of a pixel here.
    std::string Re = "-0.7", Im = "0.1";
    for (int i = 0; i < 329; ++i)
        Re += char('0' + (i * 7 + 3) % 10), Im += char('0' + (i * 3 + 1) % 10);
    Plane_View Typed;
    ASSERT_TRUE(Typed.Set(Re, Im, "1.5e-300", "9.375e-301"));
    Position Read;
    std::string Problem;
    ASSERT_TRUE(Read_Position(Position_Text(Of_View(Typed)), Read, Problem)) << Problem;
    EXPECT_TRUE(Within(Read.Centre_Re, Re, "5e-331")) << Read.Centre_Re;
    EXPECT_TRUE(Within(Read.Centre_Im, Im, "5e-331")) << Read.Centre_Im;
    EXPECT_TRUE(Within(Read.Width, "1.5e-300", "1e-340")) << Read.Width;
    EXPECT_TRUE(Within(Read.Height, "9.375e-301", "1e-340")) << Read.Height;
    // Read into a view and written once more: the same text, so positions do not drift when passed on.
    Plane_View Again;
    ASSERT_TRUE(Again.Set(Read.Centre_Re, Read.Centre_Im, Read.Width, Read.Height));
    EXPECT_EQ(Position_Text(Of_View(Again)), Position_Text(Read));
}

TEST(Position, PansStopWhereAPositionCanStillSayWhereTheyAre)
{
    Plane_View Far;
    ASSERT_TRUE(Far.Zoom(4));
    Far.Move_By(1.2, -0.7); // 19.2 and -11.2 asked for
    EXPECT_EQ(Far.Exact_Centre(Axis::Real), "1e+01");
    EXPECT_EQ(Far.Exact_Centre(Axis::Imaginary), "-1e+01");
    Position Read;
    std::string Problem;
    EXPECT_TRUE(Read_Position(Position_Text(Of_View(Far)), Read, Problem)) << Problem;
    Far.Move_By(-0.25, 0.125); // and back in: 4 and 2 of the 16
    EXPECT_EQ(Far.Exact_Centre(Axis::Real), "6e+00");
    EXPECT_EQ(Far.Exact_Centre(Axis::Imaginary), "-8e+00");
}

TEST(Position, AFloatWindowReadBackGivesTheSameFloats)
{
    // Edges far apart in magnitude need every bit of their sum.
    const Float_Window Windows[] = {{-2.0f, 2.0f, -1.5f, 1.5f}, {1e-38f, 1.0f, -3e-7f, 0.25f}, {-0.75f, -0.7499999f, 0.1f, 0.1000001f}};
    for (const Float_Window& W : Windows) {
        Plane_View Exact;
        Exact.Set_Edges(W.X_Min, W.X_Max, W.Y_Min, W.Y_Max);
        const Position Place = Of_View(Exact);
        Plane_View Read;
        ASSERT_TRUE(Read.Set(Place.Centre_Re, Place.Centre_Im, Place.Width, Place.Height));
        const Float_Window Back = Read.Edges();
        EXPECT_EQ((std::array<float, 4>{Back.X_Min, Back.X_Max, Back.Y_Min, Back.Y_Max}),
                  (std::array<float, 4>{W.X_Min, W.X_Max, W.Y_Min, W.Y_Max}));
    }
}

TEST(Position, UnknownKeysAreSkippedAndFaultsRefusedWithTheirLine)
{
    Position Place;
    std::string Problem;
    // A byte-order mark, lines ended by CR LF or a lone CR, and a colormap named in any case. A
    // threshold of 0, the slider's end, is a place the program can be at.
    ASSERT_TRUE(Read_Position("\xEF\xBB\xBF# saved\r\n\r\nset = mandelbrot\r\nzoom-speed = 3\rcentre-re = -0.5\r\n"
                              "centre-im = 1e-1\rwidth = 2.5e-3\r\ncolormap = hot\r\ncolouring = smooth\r\n"
                              "threshold = -0\r\n",
                              Place, Problem))
        << Problem;
    EXPECT_TRUE(Place.Mandelbrot);
    EXPECT_EQ(Place.Centre_Im, "1e-1");
    EXPECT_EQ(Place.Height, "2.5e-3"); // the width's, when none is given
    EXPECT_EQ(Place.Colormap, "HOT");
    EXPECT_EQ(Place.Colouring, "smooth");
    EXPECT_EQ(Place.Iterations, 100);
    EXPECT_EQ(Place.Threshold, "-0");

    const std::string Good = Position_Text(Place);
    const std::string Head = "set = julia\ncentre-re = 0\ncentre-im = 0\n";
    const struct {
        std::string Text, Problem;
    } Faults[] = {
        {Head + "width = 1e-3x\n", "line 4: width: \"1e-3x\" is not a decimal number"},
        {"set = spiral\n" + Head.substr(12) + "width = 1\n", "line 1: set: \"spiral\" is neither julia nor mandelbrot"},
        {Head + "iterations = 100\n", "no width"},
        {Head + "width = 0\n", "line 4: width"},
        {Head + "width = 1e-400000\n", "line 4: width"},
        {"set = julia\ncentre-re = 10.5\ncentre-im = 0\nwidth = 1\n", "line 2: centre-re"},
        {Head + "width = 1\niterations = 2147483648\n", "line 5: iterations"},
        {Head + "width = 1\n\ncolormap = PLAID\n", "line 6: colormap"},
        {Head + "width = 1\nthreshold = -0.5\n", "line 5: threshold: \"-0.5\" is below 0"},
        {Head + "width = 1\nthreshold = 5.01\n", "line 5: threshold"},
        {Head + "width 1\n", "line 4: no \"key = value\""},
        {Head.substr(0, 12) + "width = 1\n", "no centre-re"},
        {Head + "width = 1\ncentre-re = 0.5\n", "line 5: centre-re again (first on line 2)"},
        {Head + "width = 1e-300\nheight = 16\n", "line 5: height: \"16\" is more than 2^20 times the width"},
        {Head + "width = 1\ndensity = 1e-400\n", "line 5: density: \"1e-400\" is below the smallest density"},
        // A value a million digits long is quoted by its start and its length.
        {Head + "width = 1" + std::string(1000000, '0') + "x\n",
         "line 4: width: \"1000000000000000000000000000000000000000...\" (1000002 characters) is not"},
    };
    for (const auto& Fault : Faults) {
        EXPECT_FALSE(Read_Position(Fault.Text, Place, Problem)) << Fault.Text;
        EXPECT_EQ(Problem.substr(0, Fault.Problem.size()), Fault.Problem) << Problem;
        EXPECT_EQ(Position_Text(Place), Good) << Fault.Text;
    }
}

} // namespace
