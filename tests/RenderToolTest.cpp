// The command-line renderer's deep engine, run as a shell runs it, and the deep library's colouring.
// Every expected value is worked out here: by hand, or by the deep tests' direct MPFR model.
#include <KestrineDeep.h>

#include "DeepModel.h"
#include "RunRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace Kestrine_Deep;

std::string Read_File(const std::string& Path)
{
    std::ifstream File(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(File), {});
}

// The counts file's header line and its little-endian integers, which must fill the rest exactly.
std::vector<int> Counts_In(const std::string& File, const std::string& Header)
{
    if (File.compare(0, Header.size(), Header) != 0)
        return {};
    std::vector<int> Counts;
    for (std::size_t i = Header.size(); i + 4 <= File.size(); i += 4) {
        const auto Byte = [&](int b) { return std::uint32_t(static_cast<unsigned char>(File[i + b])) << (8 * b); };
        Counts.push_back(static_cast<int>(Byte(0) | Byte(1) | Byte(2) | Byte(3)));
    }
    return (File.size() - Header.size()) % 4 == 0 ? Counts : std::vector<int>{};
}

TEST(Render_Tool, TheDeepEngineWritesEveryPixelsCountRowZeroLowestAndItsPictureTheFloatEnginesWayUp)
{
    const std::string Counts_Path = testing::TempDir() + "kestrine-render-tool.counts";
    const std::string Deep = testing::TempDir() + "kestrine-render-tool-deep.ppm";
    const std::string Float = testing::TempDir() + "kestrine-render-tool-float.ppm";
    std::string Printed;
    // Off the real axis, so that a picture upside down cannot pass.
    ASSERT_EQ(Run_Renderer("--mandelbrot --engine deep --center -0.6 0.35 --width 2.4 --size 61x41 --iterations 300 "
                           "--counts '" + Counts_Path + "'", Printed), 0) << Printed;
    const std::vector<int> Counts = Counts_In(Read_File(Counts_Path), "KESTRINE-COUNTS 61 41 300\n");
    Deep_Model::View Image;
    Image.Centre_Re = "-0.6", Image.Centre_Im = "0.35", Image.Width = "2.4", Image.W = 61, Image.H = 41, Image.N = 300;
    ASSERT_EQ(Counts.size(), std::size_t(Image.W) * Image.H);
    // The deep engine's double differences round otherwise than 64 bits only next to the boundary: a
    // handful of pixels.
    std::size_t Differing = 0;
    for (int y = 0; y < Image.H; ++y)
        for (int x = 0; x < Image.W; ++x)
            Differing += Counts[std::size_t(y) * Image.W + x] != Deep_Model::Iterate_Pixel(Image, x, y, 64).Count;
    EXPECT_LE(Differing, Counts.size() / 200) << Printed;

    // The same square view through both engines: the same picture but on pixels where single precision
    // counts otherwise (interior pixels take the last entry in both at 300 iterations).
    const std::string View = "--mandelbrot --center -0.6 0.35 --width 1.6 --size 41x41 --iterations 300 --out ";
    ASSERT_EQ(Run_Renderer("--engine deep " + View + "'" + Deep + "'", Printed), 0) << Printed;
    ASSERT_EQ(Run_Renderer("--engine float " + View + "'" + Float + "'", Printed), 0) << Printed;
    const std::string Deep_Picture = Read_File(Deep), Float_Picture = Read_File(Float);
    ASSERT_EQ(Deep_Picture.size(), Float_Picture.size());
    std::size_t Different_Pixels = 0;
    for (std::size_t i = Deep_Picture.size() - 3 * 41 * 41; i < Deep_Picture.size(); i += 3)
        Different_Pixels += Deep_Picture.compare(i, 3, Float_Picture, i, 3) != 0;
    EXPECT_LE(Different_Pixels, 41u * 41 / 30);
    for (const std::string& Path : {Counts_Path, Deep, Float})
        std::remove(Path.c_str());
}

TEST(Render_Tool, RefusesWhatNeitherEngineCanRenderAndSaysWhy)
{
    const std::string Out = testing::TempDir() + "kestrine-render-refused.ppm";
    const struct {
        const char* Arguments;
        const char* Reason;
    } Cases[] = {
        {"--engine float --mandelbrot --center -0.743643887037151 0.131825904205330 --width 1e-12", "too deep for the float"},
        {"--engine float --counts /dev/null", "--counts needs the deep engine"},
        {"--colouring smooth --window -1 1 -1 1", "--window is for the float engine"},
        {"--engine deep --iterations 0", "the deep engine refuses the view"},
        {"--colouring cycle --density 2", "--density applies to --colouring smooth"},
        {"--position /nonexistent/place.vorlane", "no position read from /nonexistent/place.vorlane"},
        {"--frames 3 --zoom-to 1e-3", "needs one %d for the frame's number"},
        {"--frames 3", "--frames needs --zoom-to"},
        // What no position could hold, so that everything the tool writes it reads back.
        {"--center 11 0", "no position can hold what --center asks for: centre-re: \"11\" is not within 10"},
        {"--c 5 5", "what --c asks for: julia-re"},
        {"--threshold -1", "what --threshold asks for: threshold: \"-1\" is below 0"},
        {"--colouring smooth --density 101", "what --density asks for"},
        {"--width 1e20", "what --width asks for"},
        {"--window -1e38 1e38 -1 1", "what --window asks for: width"},
    };
    for (const auto& Case : Cases) {
        std::remove(Out.c_str());
        std::string Printed;
        EXPECT_EQ(Run_Renderer(std::string(Case.Arguments) + " --out '" + Out + "'", Printed), 2) << Case.Arguments;
        EXPECT_EQ(Printed.rfind("kestrine-render: ", 0), 0u) << Printed;
        EXPECT_NE(Printed.find(Case.Reason), std::string::npos) << Printed;
        EXPECT_TRUE(Read_File(Out).empty()) << Case.Arguments;
    }
}

// Entry e of the test's table: red e, green 255 - e, blue 0 for even e and 200 for odd e, so that a
// blend between neighbours shows in every channel.
std::vector<unsigned char> Test_Table()
{
    std::vector<unsigned char> Table;
    for (int e = 0; e < 256; ++e)
        Table.insert(Table.end(), {static_cast<unsigned char>(e), static_cast<unsigned char>(255 - e),
                                   static_cast<unsigned char>(e % 2 ? 200 : 0)});
    return Table;
}

std::vector<unsigned char> Colours(std::initializer_list<std::array<int, 3>> Rgb)
{
    std::vector<unsigned char> Rgba;
    for (const auto& Pixel : Rgb)
        Rgba.insert(Rgba.end(), {static_cast<unsigned char>(Pixel[0]), static_cast<unsigned char>(Pixel[1]),
                                 static_cast<unsigned char>(Pixel[2]), 255});
    return Rgba;
}

TEST(Render_Tool, DeepPicturesAreColouredByTableCycleAndSmoothCount)
{
    const std::vector<unsigned char> Table = Test_Table();
    Deep_Picture Picture;
    Picture.Width = 3;
    Picture.Height = 3;
    Picture.Iterations = 600;
    Picture.Counts = {0, 1, 254, 255, 256, 300, 509, 510, 600};
    Picture.Smooth = {10.25f, 254.75f, 256.75f, 509.25f, 1030.25f, 300, 509, 510, 600};
    EXPECT_EQ(Colour_Picture(Picture, Table.data(), Colouring::Table),
              Colours({{0, 255, 0}, {1, 254, 200}, {254, 1, 0}, {255, 0, 200}, {255, 0, 200}, {255, 0, 200},
                       {255, 0, 200}, {255, 0, 200}, {255, 0, 200}}));
    // Up the table and down again: 256 is 254, 300 is 210, 509 is 1, 510 starts again at 0.
    EXPECT_EQ(Colour_Picture(Picture, Table.data(), Colouring::Cycle),
              Colours({{0, 255, 0}, {1, 254, 200}, {254, 1, 0}, {255, 0, 200}, {254, 1, 0}, {210, 45, 0},
                       {1, 254, 200}, {0, 255, 0}, {255, 0, 200}}));
    // 10.25: a quarter of the way from entry 10 to 11; 254.75 from 254 to 255; 256.75 from 254 down to
    // 253; 509.25 from 1 down to 0; 1030.25 two periods on from 10.25; the last never escaped.
    EXPECT_EQ(Colour_Picture(Picture, Table.data(), Colouring::Smooth),
              Colours({{10, 245, 50}, {255, 0, 150}, {253, 2, 150}, {1, 254, 150}, {10, 245, 50}, {210, 45, 0},
                       {1, 254, 200}, {0, 255, 0}, {255, 0, 200}}));
    Picture.Smooth[0] = 20.5f;
    std::vector<unsigned char> Denser = Colour_Picture(Picture, Table.data(), Colouring::Smooth, 0.5);
    Denser.resize(4);
    EXPECT_EQ(Denser, Colours({{10, 245, 50}}));

    // Fewer iterations than entries: a pixel that never escaped takes entry N in Table, as the float
    // engine gives it, and the last entry in Cycle.
    Deep_Picture Short = Picture;
    Short.Width = 2, Short.Height = 1, Short.Iterations = 100;
    Short.Counts = {100, 99};
    Short.Smooth = {100, 99};
    EXPECT_EQ(Colour_Picture(Short, Table.data(), Colouring::Table), Colours({{100, 155, 0}, {99, 156, 200}}));
    EXPECT_EQ(Colour_Picture(Short, Table.data(), Colouring::Cycle), Colours({{255, 0, 200}, {99, 156, 200}}));

    EXPECT_TRUE(Colour_Picture(Picture, nullptr, Colouring::Table).empty());
    Picture.Smooth.pop_back();
    EXPECT_TRUE(Colour_Picture(Picture, Table.data(), Colouring::Smooth).empty());
    Picture.Counts.pop_back();
    EXPECT_TRUE(Colour_Picture(Picture, Table.data(), Colouring::Cycle).empty());
}

// The number on one "key = value" line of a position file; 0 where there is none.
double Number_Of(const std::string& Position, const std::string& Key)
{
    const std::size_t At = Position.find("\n" + Key + " = ");
    return At == std::string::npos ? 0 : std::strtod(Position.c_str() + At + Key.size() + 4, nullptr);
}

// A position written with a picture renders that picture again, from its file or from the picture, with
// either engine; and a position read and written again is the same file.
TEST(Render_Tool, APositionRendersItsPictureAgain)
{
    const std::string Dir = testing::TempDir() + "kestrine-render-positions-";
    const struct {
        const char* View;
        double Width, Height;
    } Views[] = {
        {"--mandelbrot --center -0.75 0.1 --width 0.3 --size 64x48", 0.3, 0.3},
        {"--mandelbrot --center -0.743643887037151 0.131825904205330 --width 3e-9 --size 64x48 --colouring smooth "
         "--iterations 3000", 3e-9, 3e-9 * 47 / 63},
    };
    for (const auto& View : Views) {
        std::string Printed;
        ASSERT_EQ(Run_Renderer(std::string(View.View) + " --out '" + Dir + "a.ppm' --save-position '" + Dir + "a.vorlane'",
                               Printed), 0) << Printed;
        const std::string Position = Read_File(Dir + "a.vorlane");
        EXPECT_NEAR(Number_Of(Position, "width"), View.Width, View.Width * 1e-6) << Position;
        EXPECT_NEAR(Number_Of(Position, "height"), View.Height, View.Height * 1e-6) << Position;
        EXPECT_NEAR(Number_Of(Position, "centre-re"), -0.75, 0.01) << Position;

        ASSERT_EQ(Run_Renderer("--position '" + Dir + "a.vorlane' --size 64x48 --out '" + Dir + "b.ppm' --save-position '" +
                               Dir + "b.vorlane'", Printed), 0) << Printed;
        EXPECT_EQ(Read_File(Dir + "b.ppm"), Read_File(Dir + "a.ppm")) << View.View;
        EXPECT_EQ(Read_File(Dir + "b.vorlane"), Position);
#if defined(KESTRINE_RENDER_WRITES_PNG)
        ASSERT_EQ(Run_Renderer(std::string(View.View) + " --out '" + Dir + "a.png'", Printed), 0) << Printed;
        ASSERT_EQ(Run_Renderer("--position '" + Dir + "a.png' --size 64x48 --out '" + Dir + "c.ppm'", Printed), 0) << Printed;
        EXPECT_EQ(Read_File(Dir + "c.ppm"), Read_File(Dir + "a.ppm")) << View.View;
#endif
    }
    std::string Printed;
    std::ofstream(Dir + "bad.vorlane") << "set = mandelbrot\ncentre-re = 0\ncentre-im = 0.5x\nwidth = 1\n";
    EXPECT_EQ(Run_Renderer("--position '" + Dir + "bad.vorlane' --out '" + Dir + "d.ppm'", Printed), 2);
    EXPECT_NE(Printed.find("bad.vorlane: line 3: centre-im"), std::string::npos) << Printed;
}

// A zoom video's frames: a constant factor a frame from the first width to the last about one centre,
// the float engine for the shallow ones, and the same files however the run is sliced.
TEST(Render_Tool, AZoomVideosFramesAreTheSameHoweverTheRunIsSliced)
{
    const std::string Dir = testing::TempDir() + "kestrine-render-frames-";
    const std::string Video = "--mandelbrot --center -0.743643887037151 0.131825904205330 --width 4 --frames 7 "
                              "--zoom-to 1e-13 --size 40x30 --iterations 600";
    const auto Files = [&](const std::string& Name) {
        return " --out '" + Dir + Name + "-%02d.ppm' --save-position '" + Dir + Name + "-%02d.vorlane'";
    };
    std::string Whole, Printed;
    ASSERT_EQ(Run_Renderer(Video + Files("whole"), Whole), 0) << Whole;
    EXPECT_NE(Whole.find("whole-02.ppm | "), std::string::npos) << Whole;
    EXPECT_NE(Whole.find("whole-06.ppm | "), std::string::npos) << Whole;
    EXPECT_NE(Whole.find("deep, double"), std::string::npos) << Whole;
    ASSERT_EQ(Run_Renderer(Video + " --frame-range 0-2" + Files("slice"), Printed), 0) << Printed;
    ASSERT_EQ(Run_Renderer(Video + " --frame-range 3-6" + Files("slice"), Printed), 0) << Printed;
    for (int Frame = 0; Frame < 7; ++Frame) {
        const std::string Number = (Frame < 10 ? "0" : "") + std::to_string(Frame);
        const std::string Picture = Read_File(Dir + "whole-" + Number + ".ppm");
        const std::string Position = Read_File(Dir + "whole-" + Number + ".vorlane");
        ASSERT_FALSE(Picture.empty()) << Frame;
        EXPECT_EQ(Read_File(Dir + "slice-" + Number + ".ppm"), Picture) << Frame;
        EXPECT_EQ(Read_File(Dir + "slice-" + Number + ".vorlane"), Position) << Frame;
        // The float engine's frames have the window it renders, edges rounded to floats.
        const double Width = std::exp(std::log(4.0) + Frame / 6.0 * (std::log(1e-13) - std::log(4.0)));
        EXPECT_NEAR(Number_Of(Position, "width"), Width, std::max(Width * 1e-6, 2 * 0x1p-23)) << Frame;
        EXPECT_NEAR(Number_Of(Position, "centre-re"), -0.743643887037151, Width / 39) << Frame;
    }
    EXPECT_TRUE(Read_File(Dir + "whole-07.ppm").empty());
    // A frame that its engine cannot render is found before any is rendered.
    EXPECT_EQ(Run_Renderer(Video + " --engine float" + Files("float"), Printed), 2);
    EXPECT_NE(Printed.find("frame 3: the view is too deep for the float engine"), std::string::npos) << Printed;
    EXPECT_TRUE(Read_File(Dir + "float-00.ppm").empty());
    // A frame is the picture of its own position.
    ASSERT_EQ(Run_Renderer("--position '" + Dir + "whole-05.vorlane' --size 40x30 --out '" + Dir + "alone.ppm'", Printed), 0);
    EXPECT_EQ(Read_File(Dir + "alone.ppm"), Read_File(Dir + "whole-05.ppm"));
}

} // namespace
