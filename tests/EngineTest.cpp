// The engine through its public header only, on whichever device the library was built for.
#include <Pellarion.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <limits>
#include <memory>
#include <vector>

#include "Reference.h"

namespace {

using Reference::Window;

constexpr Window Full_View{-2.0f, 2.0f, -2.0f, 2.0f};

class Engine_Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        Engine = std::make_unique<Pellarion>();
        if (!Engine->GPU_Available)
            GTEST_SKIP() << "no usable device for this build of the library";
    }

    std::vector<std::uint8_t> Image() const
    {
        if (!Engine->Host_Image)
            return {};
        return {Engine->Host_Image, Engine->Host_Image + std::size_t(Engine->Width) * Engine->Height * 4};
    }

    std::vector<std::uint8_t> Julia(int W, int H, const Window& V, Colormap_t Map, Reference::Point C, float Threshold,
                                    int N, int Per_Launch = 50)
    {
        Engine->Compute_Init(W, H, V.X_Min, V.X_Max, V.Y_Min, V.Y_Max, Map);
        Engine->Compute_Julia(Threshold, N, Per_Launch, C.Real, C.Imag);
        return Image();
    }

    std::vector<std::uint8_t> Mandelbrot(int W, int H, const Window& V, Colormap_t Map, float Threshold, int N,
                                         int Per_Launch = 50)
    {
        Engine->Compute_Init(W, H, V.X_Min, V.X_Max, V.Y_Min, V.Y_Max, Map);
        Engine->Compute_MandelBrot(Threshold, N, Per_Launch);
        return Image();
    }

    // The colour of a single-pixel picture at Z, through HOT (whose entries are all distinct).
    int Julia_Entry(Reference::Point Z, Reference::Point C, float Threshold, int N)
    {
        return Entry_Of(Julia(1, 1, {Z.Real, Z.Real, Z.Imag, Z.Imag}, HOT, C, Threshold, N));
    }

    int Mandelbrot_Entry(Reference::Point C, float Threshold, int N)
    {
        return Entry_Of(Mandelbrot(1, 1, {C.Real, C.Real, C.Imag, C.Imag}, HOT, Threshold, N));
    }

    static int Entry_Of(const std::vector<std::uint8_t>& Pixel)
    {
        const Reference::Table Hot = Reference::Formula_Table(HOT);
        for (int e = 0; e < 256; ++e)
            if (Pixel.size() >= 3 && std::memcmp(&Hot[3 * e], Pixel.data(), 3) == 0)
                return e;
        return -1;
    }

    std::unique_ptr<Pellarion> Engine;
};

double Differing_Fraction(const std::vector<std::uint8_t>& A, const std::vector<std::uint8_t>& B)
{
    EXPECT_EQ(A.size(), B.size());
    if (A.size() != B.size() || A.empty())
        return 1.0;
    std::size_t Differing = 0;
    for (std::size_t i = 0; i < A.size(); i += 4)
        Differing += std::memcmp(&A[i], &B[i], 4) != 0;
    return double(Differing) / double(A.size() / 4);
}

struct Picture_Case {
    bool Mandelbrot;
    int W, H;
    Window View;
    Reference::Point C;
    float Threshold;
    int N, Per_Launch;
};

std::vector<int> Model_Counts(const Picture_Case& c, const Window& View)
{
    return c.Mandelbrot ? Reference::Mandelbrot_Counts(View, c.W, c.H, c.Threshold, c.N)
                        : Reference::Julia_Counts(View, c.W, c.H, c.C, c.Threshold, c.N);
}

// How far the engine may differ from the model. Where the library's build rounds exactly as the model
// does (the software device on a CPU with fused multiply-adds), not at all. Elsewhere (a GPU, with its
// approximate division in the grid set-up and approximate square root, within two units in the last
// place; a CPU that multiplies and adds separately) a pixel can change only where its count is
// sensitive to such a step: the model finds those by moving the whole window two units in the last
// place each way along each axis, and the engine may differ on twice as many, plus one pixel.
double Tolerance(const Picture_Case& c, const std::vector<int>& Counts)
{
#if defined(KESTRINE_EXACT_ROUNDING)
    (void)c;
    (void)Counts;
    return 0.0;
#else
    auto Moved = [](float v, int Ulps) {
        for (int i = 0; i < std::abs(Ulps); ++i)
            v = std::nextafter(v, Ulps > 0 ? INFINITY : -INFINITY);
        return v;
    };
    std::vector<bool> Sensitive(Counts.size(), false);
    for (const int Ulps : {-2, 2})
        for (const bool Along_X : {true, false}) {
            Window V = c.View;
            (Along_X ? V.X_Min : V.Y_Min) = Moved(Along_X ? V.X_Min : V.Y_Min, Ulps);
            (Along_X ? V.X_Max : V.Y_Max) = Moved(Along_X ? V.X_Max : V.Y_Max, Ulps);
            const std::vector<int> Other = Model_Counts(c, V);
            for (std::size_t i = 0; i < Counts.size(); ++i)
                Sensitive[i] = Sensitive[i] || Other[i] != Counts[i];
        }
    const double Fraction = double(std::count(Sensitive.begin(), Sensitive.end(), true)) / double(Counts.size());
    return 2.0 * Fraction + 1.0 / double(Counts.size());
#endif
}

TEST_F(Engine_Test, CountsMatchTheScalarModel)
{
    // Odd sizes, windows that are not symmetric (a flipped or transposed image would show), several
    // constants and thresholds, and chunkings. Colours through JET, whose entries all differ.
    const Picture_Case Cases[] = {
        {false, 333, 217, {-1.7f, 1.9f, -1.1f, 1.4f}, {-0.4001f, 0.6f}, 4.0f, 100, 50},
        {false, 257, 129, {-0.5f, 0.9f, -0.2f, 0.75f}, {0.285f, 0.01f}, 2.0f, 200, 50},
        {false, 64, 97, {-2.0f, 2.0f, -1.5f, 2.5f}, {-0.8f, 0.156f}, 10.0f, 60, 7},
        {true, 333, 217, {-2.2f, 0.8f, -0.3f, 1.3f}, {}, 4.0f, 100, 50},
        {true, 96, 64, {-2.0f, 1.0f, -1.2f, 1.0f}, {}, 100.0f, 40, 50},
        // All boundary: long chaotic orbits, runs that freeze at every step of a chunk.
        {true, 211, 301, {-0.8f, -0.7f, 0.05f, 0.2f}, {}, 4.0f, 250, 50},
        {false, 150, 40, {0.99f, 1.02f, -0.05f, 0.05f}, {0.0f, 0.0f}, 4.0f, 230, 33},
        // One pixel of a run (the 14th, and the 9th of a run cut short by the edge) stays while every
        // other pixel escapes at its first or second step: the run must go on for it alone.
        {false, 45, 1, {-39.0f, 93.0f, 0.0f, 0.0f}, {0.0f, 0.0f}, 4.0f, 130, 50},
        {true, 45, 1, {-39.0f, 93.0f, 0.0f, 0.0f}, {}, 4.0f, 130, 50},
        {true, 45, 1, {-120.0f, 12.0f, 0.0f, 0.0f}, {}, 4.0f, 130, 7},
    };
    for (const Picture_Case& c : Cases) {
        const std::vector<int> Counts = Model_Counts(c, c.View);
        const auto Picture = c.Mandelbrot ? Mandelbrot(c.W, c.H, c.View, JET, c.Threshold, c.N, c.Per_Launch)
                                          : Julia(c.W, c.H, c.View, JET, c.C, c.Threshold, c.N, c.Per_Launch);
        EXPECT_LE(Differing_Fraction(Picture, Reference::Colour(Counts, Reference::Formula_Table(JET))),
                  Tolerance(c, Counts))
            << (c.Mandelbrot ? "Mandelbrot " : "Julia ") << c.W << " x " << c.H << " from " << c.View.X_Min;
    }
}

TEST_F(Engine_Test, ChunkedLaunchesGiveTheSameImageAsOne)
{
    const Window View{-1.6f, 1.2f, -1.0f, 1.3f};
    for (const bool Mandelbrot_Set : {false, true}) {
        auto Render = [&](int Per_Launch) {
            return Mandelbrot_Set ? Mandelbrot(123, 77, View, JET, 4.0f, 130, Per_Launch)
                                  : Julia(123, 77, View, JET, {-0.4001f, 0.6f}, 4.0f, 130, Per_Launch);
        };
        const auto One_Launch = Render(130);
        for (const int Per_Launch : {50, 1, 7, 129, 1000})
            EXPECT_EQ(Render(Per_Launch), One_Launch) << "launches of " << Per_Launch << ", Mandelbrot " << Mandelbrot_Set;
    }
}

TEST_F(Engine_Test, NoIterationsOrNoThresholdColoursEveryPixelAsZero)
{
    const Reference::Table Hot = Reference::Formula_Table(HOT);
    const std::vector<int> Zero_Counts(40 * 30, 0);
    const auto All_Entry_Zero = Reference::Colour(Zero_Counts, Hot);
    EXPECT_EQ(Julia(40, 30, Full_View, HOT, {0.0f, 0.0f}, 4.0f, 0), All_Entry_Zero);
    EXPECT_EQ(Julia(40, 30, Full_View, HOT, {0.0f, 0.0f}, 4.0f, 100, 0), All_Entry_Zero);
    EXPECT_EQ(Julia(40, 30, Full_View, HOT, {0.0f, 0.0f}, 4.0f, 100, -5), All_Entry_Zero);
    EXPECT_EQ(Mandelbrot(40, 30, Full_View, HOT, 0.0f, 100), All_Entry_Zero);
    EXPECT_EQ(Mandelbrot(40, 30, Full_View, HOT, -1.0f, 100), All_Entry_Zero);
    EXPECT_EQ(Julia(40, 30, Full_View, HOT, {0.0f, 0.0f}, 0.0f, 100), All_Entry_Zero);
}

TEST_F(Engine_Test, ThresholdIsStrictAndBoundsTheRightMagnitude)
{
    // Mandelbrot c = 1: candidates 1 (|z|^2 = 1) and 2 (|z|^2 = 4, not below 4).
    EXPECT_EQ(Mandelbrot_Entry({1.0f, 0.0f}, 4.0f, 10), 1);
    EXPECT_EQ(Mandelbrot_Entry({1.0f, 0.0f}, 4.0001f, 10), 2);
    EXPECT_EQ(Mandelbrot_Entry({0.0f, 0.0f}, 4.0f, 37), 37);
    // Julia compares |z| with the threshold, Mandelbrot |z|^2: 1.9^2 = 3.61 is accepted by Julia only
    // as a magnitude, and 1.5 then 3.75 by Mandelbrot only as a squared one.
    EXPECT_EQ(Julia_Entry({1.9f, 0.0f}, {0.0f, 0.0f}, 4.0f, 10), 1);
    EXPECT_EQ(Mandelbrot_Entry({1.5f, 0.0f}, 4.0f, 10), 1);
    EXPECT_EQ(Julia_Entry({0.5f, 0.0f}, {0.0f, 0.0f}, 4.0f, 90), 90);
    EXPECT_EQ(Julia_Entry({3.0f, 0.0f}, {0.0f, 0.0f}, 4.0f, 90), 0);
}

TEST_F(Engine_Test, OverflowingOrbitsCountAsEscaped)
{
    const float Infinity = std::numeric_limits<float>::infinity();
    // z = 2, 4, 16, ..., 2^32; the square of 2^64 overflows, so the sixth candidate fails even here.
    EXPECT_EQ(Julia_Entry({2.0f, 0.0f}, {0.0f, 0.0f}, Infinity, 50), 5);
    EXPECT_EQ(Julia_Entry({2.0f, 0.0f}, {0.0f, 0.0f}, Infinity, 50), Reference::Julia_Count({2, 0}, {0, 0}, Infinity, 50));
    EXPECT_EQ(Mandelbrot_Entry({3.0f, 0.0f}, Infinity, 50), Reference::Mandelbrot_Count({3, 0}, Infinity, 50));
    EXPECT_LT(Mandelbrot_Entry({3.0f, 0.0f}, Infinity, 50), 50);
}

TEST_F(Engine_Test, ASingleColumnOrRowSitsAtTheWindowsFirstValue)
{
    const auto Column = Mandelbrot(1, 40, {0.3f, 9.0f, -1.0f, 1.0f}, HOT, 4.0f, 20);
    const auto Column_Counts = Reference::Mandelbrot_Counts({0.3f, 0.3f, -1.0f, 1.0f}, 1, 40, 4.0f, 20);
    EXPECT_LT(Differing_Fraction(Column, Reference::Colour(Column_Counts, Reference::Formula_Table(HOT))), 0.05);
    const auto Row = Mandelbrot(40, 1, {-1.0f, 1.0f, 0.0f, 5.0f}, HOT, 4.0f, 20);
    const auto Row_Counts = Reference::Mandelbrot_Counts({-1.0f, 1.0f, 0.0f, 0.0f}, 40, 1, 4.0f, 20);
    EXPECT_LT(Differing_Fraction(Row, Reference::Colour(Row_Counts, Reference::Formula_Table(HOT))), 0.05);
}

// A window collapsed on c = 0 keeps every orbit at 0, so every pixel counts N: N = 0..255 walks a table.
Reference::Table Table_Seen(Pellarion& Engine, Colormap_t Map)
{
    Reference::Table Seen{};
    for (int N = 0; N < 256; ++N) {
        Engine.Compute_Init(2, 2, 0.0f, 0.0f, 0.0f, 0.0f, Map);
        Engine.Compute_Julia(4.0f, N, 50, 0.0f, 0.0f);
        if (!Engine.Host_Image)
            return {};
        std::memcpy(&Seen[3 * N], Engine.Host_Image + 4 * 3, 3);
    }
    return Seen;
}

TEST_F(Engine_Test, EveryEntryOfTheFormulaTablesReachesTheImage)
{
    for (const Colormap_t Map : {HOT, JET, HSV, BONE})
        EXPECT_EQ(Table_Seen(*Engine, Map), Reference::Formula_Table(Map)) << "colormap " << Map;
    const Reference::Table Bone = Table_Seen(*Engine, BONE);
    EXPECT_EQ((std::array<int, 3>{Bone[84], Bone[85], Bone[86]}), (std::array<int, 3>{24, 24, 34}));
}

TEST_F(Engine_Test, EveryEntryOfTheListedTablesReachesTheImage)
{
    struct Listed {
        Colormap_t Map;
        std::uint64_t Hash; // FNV-1a of the 768 published bytes
        std::array<std::uint8_t, 3> First, Last;
    };
    const Listed Tables[] = {
        {MORGENSTEMNING, 0x76b9dc0893cfb957ull, {0, 0, 0}, {255, 255, 255}},
        {SKY, 0x02d0ddaeab416a0full, {230, 241, 248}, {0, 114, 189}},
        {ABYSS, 0xbe3f710365fb29d1ull, {9, 35, 55}, {38, 140, 221}},
    };
    for (const Listed& T : Tables) {
        const Reference::Table Seen = Table_Seen(*Engine, T.Map);
        EXPECT_EQ(Reference::Fnv1a(Seen.data(), Seen.size()), T.Hash) << "colormap " << T.Map;
        EXPECT_TRUE(std::equal(T.First.begin(), T.First.end(), &Seen[0]));
        EXPECT_TRUE(std::equal(T.Last.begin(), T.Last.end(), &Seen[765]));
        if (T.Map == MORGENSTEMNING)
            continue;
        // SKY and ABYSS stay within one step of the straight ramp between their ends.
        for (int e = 0; e < 256; ++e)
            for (int c = 0; c < 3; ++c)
                EXPECT_LE(std::abs(Seen[3 * e + c] - (T.First[c] + (T.Last[c] - T.First[c]) * e / 255.0)), 1.0)
                    << "colormap " << T.Map << " entry " << e;
    }
    const Reference::Table Morning = Table_Seen(*Engine, MORGENSTEMNING);
    const std::array<int, 6> Entries = {64, 96, 100, 128, 160, 191};
    const std::array<std::array<int, 3>, 6> Colours = {
        {{26, 53, 96}, {113, 43, 116}, {125, 41, 116}, {196, 28, 112}, {245, 131, 57}, {251, 227, 0}}};
    for (std::size_t i = 0; i < Entries.size(); ++i)
        EXPECT_EQ((std::array<int, 3>{Morning[3 * Entries[i]], Morning[3 * Entries[i] + 1], Morning[3 * Entries[i] + 2]}),
                  Colours[i])
            << "entry " << Entries[i];
}

TEST_F(Engine_Test, CountsOfAndAbove255ShareTheLastEntry)
{
    const Reference::Table Hot = Reference::Formula_Table(HOT);
    for (const int N : {254, 255, 256, 1000}) {
        const auto Picture = Julia(3, 3, {0.0f, 0.0f, 0.0f, 0.0f}, HOT, {0.0f, 0.0f}, 4.0f, N);
        ASSERT_EQ(Picture.size(), 36u);
        const int e = N < 255 ? N : 255;
        EXPECT_TRUE(std::equal(&Hot[3 * e], &Hot[3 * e] + 3, Picture.begin())) << N;
    }
    // Fifty iterations never reach past entry 50 of HOT, (135, 0, 0).
    const auto Picture = Julia(64, 48, Full_View, HOT, {-0.4001f, 0.6f}, 4.0f, 50);
    for (std::size_t i = 0; i < Picture.size(); i += 4)
        ASSERT_LE(Picture[i], 135);
}

TEST_F(Engine_Test, ColormapSelection)
{
    // A fresh engine has no table: values outside 1 to 7 upload nothing and the picture is black.
    const auto Black = Julia(8, 8, Full_View, static_cast<Colormap_t>(8), {0.0f, 0.0f}, 4.0f, 10);
    ASSERT_EQ(Black.size(), 256u);
    for (std::size_t i = 0; i < Black.size(); i += 4)
        EXPECT_EQ(Black[i] | Black[i + 1] | Black[i + 2], 0);
    EXPECT_EQ(Engine->Colormap, 8);

    const auto Hsv = Julia(8, 8, Full_View, HSV, {0.0f, 0.0f}, 4.0f, 10);
    EXPECT_EQ(Hsv, Reference::Colour(Reference::Julia_Counts(Full_View, 8, 8, {0, 0}, 4.0f, 10),
                                     Reference::Formula_Table(HSV)));
    // 0 and 8 keep the colours of the last table.
    EXPECT_EQ(Julia(8, 8, Full_View, static_cast<Colormap_t>(0), {0.0f, 0.0f}, 4.0f, 10), Hsv);
    EXPECT_EQ(Julia(8, 8, Full_View, static_cast<Colormap_t>(8), {0.0f, 0.0f}, 4.0f, 10), Hsv);
}

TEST_F(Engine_Test, EngineStatesAndSizes)
{
    // Nothing to render before the first size; a render then changes nothing.
    Engine->Compute_Julia(4.0f, 100, 50, 0.0f, 0.0f);
    EXPECT_EQ(Engine->Host_Image, nullptr);
    Engine->Compute_Init(0, 0, -1.0f, 1.0f, -1.0f, 1.0f, HOT);
    EXPECT_FALSE(Engine->Buffers_Ready);
    EXPECT_EQ(Engine->X_Min, -1.0f);

    Engine->Compute_Init(100, 50, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
    ASSERT_TRUE(Engine->Buffers_Ready);
    const std::uint8_t* Image = Engine->Host_Image;
    ASSERT_NE(Image, nullptr);
    Engine->Compute_Init(100, 50, -0.5f, 0.25f, -0.125f, 1.5f, JET);
    EXPECT_EQ(Engine->Host_Image, Image) << "the same size must not reallocate";
    EXPECT_EQ(Engine->X_Min, -0.5f);
    EXPECT_EQ(Engine->X_Max, 0.25f);
    EXPECT_EQ(Engine->Y_Min, -0.125f);
    EXPECT_EQ(Engine->Y_Max, 1.5f);
    Engine->Compute_MandelBrot(4.0f, 10, 50);
    EXPECT_GE(Engine->Elapsed_Time, 0.0f);

    // A size no buffer can hold is refused: Idle, no image, the size kept; a good size works again.
    Engine->Compute_Init(65536, 65536, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
    EXPECT_FALSE(Engine->Buffers_Ready);
    EXPECT_EQ(Engine->Host_Image, nullptr);
    EXPECT_EQ(Engine->Width, 65536);
    Engine->Compute_Init(20, 10, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
    EXPECT_TRUE(Engine->Buffers_Ready);
}

} // namespace

namespace {

// Runs the command-line renderer; its exit status, and what it printed on both channels.
int Run_Renderer(const std::string& Arguments, std::string& Printed)
{
    FILE* Pipe = popen(("'" KESTRINE_RENDER_PATH "' " + Arguments + " 2>&1").c_str(), "r");
    if (!Pipe)
        return -1;
    char Buffer[512];
    Printed.clear();
    while (std::fgets(Buffer, sizeof(Buffer), Pipe))
        Printed += Buffer;
    const int Status = pclose(Pipe);
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

std::vector<std::uint8_t> Read_Ppm_As_Rgba(const std::string& Path)
{
    std::ifstream File(Path, std::ios::binary);
    std::string Magic;
    int W = 0, H = 0, Max = 0;
    File >> Magic >> W >> H >> Max;
    File.get();
    std::vector<std::uint8_t> Rgba;
    for (int i = 0; i < W * H && File; ++i) {
        char Rgb[3];
        File.read(Rgb, 3);
        Rgba.insert(Rgba.end(), {std::uint8_t(Rgb[0]), std::uint8_t(Rgb[1]), std::uint8_t(Rgb[2]), 255});
    }
    return Magic == "P6" && Max == 255 ? Rgba : std::vector<std::uint8_t>{};
}

} // namespace

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
    EXPECT_EQ(Read_Ppm_As_Rgba(Out), Mandelbrot(90, 60, {-2.0f, 1.0f, -0.75f, 1.25f}, JET, 4.0f, 70));
    ASSERT_EQ(Run_Renderer("--c 0.285 0.01 --window -1 1 -0.5 0.5 --size 64 32 --colormap 3 --out '" + Out + "'", Printed),
              0);
    EXPECT_EQ(Read_Ppm_As_Rgba(Out), Julia(64, 32, {-1.0f, 1.0f, -0.5f, 0.5f}, HSV, {0.285f, 0.01f}, 4.0f, 100));

    EXPECT_EQ(Run_Renderer("--help", Printed), 0);
    for (const char* Option : {"--set", "--c", "--center", "--width", "--window", "--square", "--iterations",
                               "--threshold", "--colormap", "--size", "--out"})
        EXPECT_NE(Printed.find(Option), std::string::npos) << Option;
    for (const char* Bad : {"--size 10x10", "--out x.ppm --size 0x10", "--out x.ppm --size 10", "--out x.ppm --bogus",
                            "--out x.ppm --width -1", "--out x.ppm --iterations 1.5", "--out x.ppm --c 1 nan",
                            "--out x.ppm --colormap PLAID", "--out x.ppm --set spiral", "--out x.ppm extra"}) {
        EXPECT_EQ(Run_Renderer(Bad, Printed), 2) << Bad;
        EXPECT_EQ(Printed.rfind("kestrine-render: ", 0), 0u) << Bad << ": " << Printed;
    }
    EXPECT_EQ(Run_Renderer("--size 8x8 --out /proc/kestrine-render-test.ppm", Printed), 1);
    std::remove(Out.c_str());
}
