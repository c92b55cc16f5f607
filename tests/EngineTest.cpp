// The engine through its public header only, on whichever device the library was built for, and the
// command-line renderer built on it.
#include <Pellarion.h>

#include "RunRenderer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Reference.h"

namespace {

using Reference::Window;
using Image = std::vector<std::uint8_t>;

constexpr float Infinity = std::numeric_limits<float>::infinity();

struct Picture_Case {
    bool Mandelbrot;
    int W, H;
    Window View;
    Reference::Point C;
    float Threshold;
    int N, Per_Launch = 50;
};

// The rounding of the engine's multiply-adds: a GPU fuses them; the software device fuses them where its
// lane set has FMA instructions, as its name says.
Reference::Rounding Rounding_Of(const Pellarion& Engine)
{
    const bool Fuses = Engine.CC_Major > 0 || std::strstr(Engine.GPU_Name, " with FMA") != nullptr;
    return Fuses ? Reference::Rounding::Fused : Reference::Rounding::Separate;
}

std::vector<int> Model_Counts(const Picture_Case& c, Reference::Rounding Multiply_Adds = Reference::Rounding::Fused)
{
    std::vector<int> Counts;
    for (const auto& End : Reference::Orbit_Ends(c.Mandelbrot, c.View, c.W, c.H, c.C, c.Threshold, c.N, Multiply_Adds))
        Counts.push_back(End.Count);
    return Counts;
}

class Engine_Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        Engine = std::make_unique<Pellarion>();
        if (!Engine->GPU_Available)
            GTEST_SKIP() << "no usable device for this build of the library";
    }

    Image Render(const Picture_Case& c, Colormap_t Map)
    {
        Engine->Compute_Init(c.W, c.H, c.View.X_Min, c.View.X_Max, c.View.Y_Min, c.View.Y_Max, Map);
        if (c.Mandelbrot)
            Engine->Compute_MandelBrot(c.Threshold, c.N, c.Per_Launch);
        else
            Engine->Compute_Julia(c.Threshold, c.N, c.Per_Launch, c.C.Real, c.C.Imag);
        if (!Engine->Host_Image)
            return {};
        return {Engine->Host_Image, Engine->Host_Image + std::size_t(Engine->Width) * Engine->Height * 4};
    }

    // A window collapsed on c = 0 keeps every orbit at 0, so every pixel counts N: N = 0..255 walks a table.
    Reference::Table Table_Seen(Colormap_t Map)
    {
        Reference::Table Seen{};
        for (int N = 0; N < 256; ++N) {
            const Image Picture = Render({false, 2, 2, {0, 0, 0, 0}, {0, 0}, 4.0f, N}, Map);
            if (Picture.size() != 16)
                return {};
            std::memcpy(&Seen[3 * N], &Picture[12], 3);
        }
        return Seen;
    }

    std::unique_ptr<Pellarion> Engine;
};

// Pixels the engine may show otherwise than the model. None on the software device: it divides and
// takes square roots correctly rounded, as the model does, and rounds its multiply-adds as the model
// is told to. On a GPU, which divides within 2 units in the last place and takes the square root of
// the Julia test within 1 (3 before compute capability 5.2), the pixels whose counts such errors can
// change (Gpu_May_Differ); each other pixel must be exactly the model's.
std::vector<bool> May_Differ(const Pellarion& Engine, const Picture_Case& c)
{
    if (Engine.CC_Major == 0)
        return std::vector<bool>(std::size_t(c.W) * c.H, false);
    const int Root_Ulps = Engine.CC_Major * 10 + Engine.CC_Minor >= 52 ? 1 : 3;
    return Reference::Gpu_May_Differ(c.Mandelbrot, c.View, c.W, c.H, c.C, c.Threshold, c.N, Root_Ulps);
}

// Pixels that differ where they may not.
int Unexplained_Differences(const Image& Shown, const Image& Wanted, const std::vector<bool>& Allowed)
{
    if (Shown.size() != Wanted.size())
        return int(Wanted.size() / 4) + 1;
    int Unexplained = 0;
    for (std::size_t i = 0; i < Allowed.size(); ++i)
        Unexplained += !Allowed[i] && std::memcmp(&Shown[4 * i], &Wanted[4 * i], 4) != 0;
    return Unexplained;
}

TEST_F(Engine_Test, CountsMatchTheScalarModel)
{
    // Odd sizes, windows that are not symmetric (a flipped or transposed image would show), several
    // constants, thresholds and chunkings (a chunked render is the same picture as one launch); colours
    // through JET, whose entries all differ.
    const Picture_Case Cases[] = {
        {false, 333, 217, {-1.7f, 1.9f, -1.1f, 1.4f}, {-0.4001f, 0.6f}, 4.0f, 100},
        {false, 257, 129, {-0.5f, 0.9f, -0.2f, 0.75f}, {0.285f, 0.01f}, 2.0f, 200},
        {false, 64, 97, {-2.0f, 2.0f, -1.5f, 2.5f}, {-0.8f, 0.156f}, 10.0f, 60, 7},
        {true, 333, 217, {-2.2f, 0.8f, -0.3f, 1.3f}, {}, 4.0f, 100},
        {true, 96, 64, {-2.0f, 1.0f, -1.2f, 1.0f}, {}, 100.0f, 40},
        // Launches of one step, and a last launch of one step.
        {true, 123, 77, {-1.6f, 1.2f, -1.0f, 1.3f}, {}, 4.0f, 130, 1},
        {false, 123, 77, {-1.6f, 1.2f, -1.0f, 1.3f}, {-0.4001f, 0.6f}, 4.0f, 130, 129},
        // Runs that freeze at every step of a chunk. (Orbits in exact cycles, the all-boundary window and
        // a filled Julia set's interior are left to the direct launches, which compare every last z too.)
        {false, 150, 40, {0.99f, 1.02f, -0.05f, 0.05f}, {0.0f, 0.0f}, 4.0f, 230, 33},
        // One pixel of a run (the 14th, and the 9th of a run cut short by the edge) stays while every
        // other pixel escapes at its first or second step: the run must go on for it alone.
        {false, 45, 1, {-39.0f, 93.0f, 0.0f, 0.0f}, {0.0f, 0.0f}, 4.0f, 130},
        {true, 45, 1, {-39.0f, 93.0f, 0.0f, 0.0f}, {}, 4.0f, 130},
        {true, 45, 1, {-120.0f, 12.0f, 0.0f, 0.0f}, {}, 4.0f, 130, 7},
        // A single column or row sits at the window's first value.
        {true, 1, 40, {0.3f, 9.0f, -1.0f, 1.0f}, {}, 4.0f, 20},
        {true, 40, 1, {-1.0f, 1.0f, 0.0f, 5.0f}, {}, 4.0f, 20},
    };
    for (const Picture_Case& c : Cases) {
        const Image Wanted = Reference::Colour(Model_Counts(c, Rounding_Of(*Engine)), Reference::Formula_Table(JET));
        EXPECT_EQ(Unexplained_Differences(Render(c, JET), Wanted, May_Differ(*Engine, c)), 0)
            << (c.Mandelbrot ? "Mandelbrot " : "Julia ") << c.W << " x " << c.H << " from " << c.View.X_Min << " in "
            << Engine->GPU_Name;
    }
}

// Counts known from the formulas alone, independent of the model, each of one pixel seen through HOT.
TEST_F(Engine_Test, ThresholdsOverflowAndEmptyRendersGiveTheKnownCounts)
{
    const std::pair<Picture_Case, int> Known[] = {
        {{true, 1, 1, {1, 1, 0, 0}, {}, 4.0f, 10}, 1},         // candidates 1 and 2: |z|^2 = 4 is not below 4
        {{true, 1, 1, {1, 1, 0, 0}, {}, 4.0001f, 10}, 2},      //
        {{true, 1, 1, {0, 0, 0, 0}, {}, 4.0f, 37}, 37},        // inside: every step of every launch
        {{false, 1, 1, {1.9f, 1.9f, 0, 0}, {}, 4.0f, 10}, 1},  // Julia bounds |z| (3.61 passes), Mandelbrot
        {{true, 1, 1, {1.5f, 1.5f, 0, 0}, {}, 4.0f, 10}, 1},   // |z|^2 (1.5 passes, then 3.75 fails)
        {{false, 1, 1, {0.5f, 0.5f, 0, 0}, {}, 4.0f, 90}, 90}, //
        {{false, 1, 1, {3, 3, 0, 0}, {}, 4.0f, 90}, 0},        // the first candidate, 9, already fails
        {{false, 1, 1, {2, 2, 0, 0}, {}, Infinity, 50, 7}, 5}, // 2, 4, ..., 2^64, whose square overflows
        {{true, 1, 1, {0, 0, 0, 0}, {}, 4.0f, 0}, 0},          // no iterations, no launch size, no threshold
        {{false, 1, 1, {0, 0, 0, 0}, {}, 4.0f, 100, 0}, 0},    //
        {{false, 1, 1, {0, 0, 0, 0}, {}, 4.0f, 100, -5}, 0},   //
        {{true, 1, 1, {0, 0, 0, 0}, {}, 0.0f, 100}, 0},        //
        {{false, 1, 1, {0, 0, 0, 0}, {}, -1.0f, 100}, 0},      //
        {{true, 1, 1, {3, 3, 0, 0}, {}, Infinity, 50}, 6},     // 3, 12, 147, ..., 4.8e34: overflow always escapes
        {{false, 1, 1, {0, 0, 0, 0}, {}, 4.0f, 256}, 256},     // counts of 255 and more share the last entry
        {{true, 1, 1, {0, 0, 0, 0}, {}, 4.0f, 999, 64}, 999},  //
    };
    for (const auto& [c, Count] : Known)
        EXPECT_EQ(Render(c, HOT), Reference::Colour({Count}, Reference::Formula_Table(HOT)))
            << (c.Mandelbrot ? "Mandelbrot " : "Julia ") << c.View.X_Min << ", threshold " << c.Threshold << ": "
            << Count << " steps";
}

// Every entry of all seven tables reaches the image.
TEST_F(Engine_Test, EveryEntryOfEveryColourTableReachesTheImage)
{
    for (const Colormap_t Map : {HOT, JET, HSV, BONE})
        EXPECT_EQ(Table_Seen(Map), Reference::Formula_Table(Map)) << "colormap " << Map;
    EXPECT_EQ(Table_Seen(BONE)[84], 24); // entry 28 is (24, 24, 34), the half rounded down
    // The listed tables, against their published listing.
    for (const auto& [Map, Name] : std::initializer_list<std::pair<Colormap_t, const char*>>{
             {MORGENSTEMNING, "MORGENSTEMNING"}, {SKY, "SKY"}, {ABYSS, "ABYSS"}}) {
        const Reference::Table Listed = Reference::Listed_Table(Name);
        EXPECT_TRUE(Listed != Reference::Table{} && Table_Seen(Map) == Listed) << Name;
    }
}

TEST_F(Engine_Test, ColormapSelection)
{
    // A fresh engine has no table: values outside 1 to 7 upload nothing and the picture is black.
    const Picture_Case c{false, 8, 8, {-2.0f, 2.0f, -2.0f, 2.0f}, {0, 0}, 4.0f, 10};
    EXPECT_EQ(Render(c, static_cast<Colormap_t>(8)), Reference::Colour(std::vector<int>(64, 0), Reference::Table{}));
    // HSV, then 0 and 8, which keep the colours of the last table.
    const Image Hsv = Reference::Colour(Model_Counts(c), Reference::Formula_Table(HSV));
    for (const int Map : {int(HSV), 0, 8})
        EXPECT_EQ(Render(c, static_cast<Colormap_t>(Map)), Hsv) << "colormap " << Map;
}

TEST_F(Engine_Test, EngineStatesAndSizes)
{
    // A zero size stays Idle but keeps the view.
    Engine->Compute_Init(0, 0, -1.0f, 1.0f, -1.0f, 1.0f, HOT);
    EXPECT_TRUE(!Engine->Buffers_Ready && Engine->X_Min == -1.0f);
    // The same size keeps its buffers and takes the new view.
    Engine->Compute_Init(100, 50, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
    const std::uint8_t* First_Image = Engine->Host_Image;
    Engine->Compute_Init(100, 50, -0.5f, 0.25f, -0.125f, 1.5f, JET);
    EXPECT_TRUE(First_Image && Engine->Host_Image == First_Image);
    EXPECT_EQ((std::array<float, 4>{Engine->X_Min, Engine->X_Max, Engine->Y_Min, Engine->Y_Max}),
              (std::array<float, 4>{-0.5f, 0.25f, -0.125f, 1.5f}));
    // The render is timed: the time is set, finite and positive.
    Engine->Elapsed_Time = std::nanf("");
    Engine->Compute_MandelBrot(4.0f, 10, 50);
    EXPECT_TRUE(std::isfinite(Engine->Elapsed_Time) && Engine->Elapsed_Time > 0.0f) << Engine->Elapsed_Time;
}

// A binary PPM file as RGBA, alpha 255; empty if it is not one.
Image Read_Ppm(const std::string& Path)
{
    std::ifstream File(Path, std::ios::binary);
    std::string Magic;
    int W = 0, H = 0, Max = 0;
    File >> Magic >> W >> H >> Max;
    File.get();
    Image Rgba;
    for (char Rgb[3]; Rgba.size() < std::size_t(W) * H * 4 && File.read(Rgb, 3);)
        Rgba.insert(Rgba.end(), {std::uint8_t(Rgb[0]), std::uint8_t(Rgb[1]), std::uint8_t(Rgb[2]), 255});
    return Magic == "P6" && Max == 255 ? Rgba : Image{};
}

TEST_F(Engine_Test, TheCommandLineRendererWritesTheEnginesPictureAndRefusesBadArguments)
{
    const std::string Out = testing::TempDir() + "kestrine-render-test.ppm";
    std::string Printed;
    // Centre and width with square pixels: 90 x 60 pixels over a width of 3 is a height of 2.
    ASSERT_EQ(Run_Renderer("--set mandelbrot --center -0.5 0.25 --width 3 --square --size 90x60 --iterations 70 "
                           "--threshold 4 --colormap JET --out '" + Out + "'",
                           Printed),
              0)
        << Printed;
    EXPECT_EQ(Read_Ppm(Out), Render({true, 90, 60, {-2.0f, 1.0f, -0.75f, 1.25f}, {}, 4.0f, 70}, JET));
    ASSERT_EQ(Run_Renderer("--c 0.285 0.01 --window -1 1 -0.5 0.5 --size 64 32 --colormap 3 --out '" + Out + "'", Printed),
              0);
    EXPECT_EQ(Read_Ppm(Out), Render({false, 64, 32, {-1.0f, 1.0f, -0.5f, 0.5f}, {0.285f, 0.01f}, 4.0f, 100}, HSV));

    EXPECT_EQ(Run_Renderer("--help", Printed), 0);
    EXPECT_NE(Printed.find("--colormap"), std::string::npos) << Printed;
    for (const char* Bad : {"--size 10x10", "--out x.ppm --size 0x10", "--out x.ppm --size 10", "--out x.ppm --bogus",
                            "--out x.ppm --width -1", "--out x.ppm --iterations 1.5", "--out x.ppm --c 1 nan",
                            "--out x.ppm --colormap PLAID", "--out x.ppm --set spiral", "--out x.ppm extra"}) {
        EXPECT_EQ(Run_Renderer(Bad, Printed), 2) << Bad;
        EXPECT_EQ(Printed.rfind("kestrine-render: ", 0), 0u) << Bad << ": " << Printed;
    }
    EXPECT_EQ(Run_Renderer("--size 8x8 --out /proc/kestrine-render-test.ppm", Printed), 1);
    std::remove(Out.c_str());
}

} // namespace
