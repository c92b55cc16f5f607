// kestrine-bench: render time of the engine, on whichever device the library was built for, beside
// a plain CPU reference written here, measured in the same run on the same machine.
//
// The reference computes the same pictures the simplest fast way a CPU allows: 8-wide SIMD vectors,
// runs of 32 pixels left as soon as all of them are frozen, one pass over all iterations, coloured
// through the 256-entry table into RGBA, rows spread over all cores. Each line shows the median wall
// time of whole renders after a warm-up, both ways, their ratio, and the fraction of pixels in which
// the two pictures differ (0 where the engine rounds as the reference does).
#include <Pellarion.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif
#if defined(KESTRINE_BENCH_LANE_SETS)
#include <SoftControl.h>
#endif

namespace {

struct Workload {
    const char* Name;
    bool Mandelbrot;
    int Iterations;
    float X_Min, X_Max, Y_Min, Y_Max;
};

constexpr int Width = 1600, Height = 1000;
constexpr float Threshold = 4.0f;
constexpr float C_Real = -0.4001f, C_Imag = 0.6f;

// ---- the reference -------------------------------------------------------------------------------

typedef float Floats __attribute__((vector_size(32)));
typedef int Ints __attribute__((vector_size(32)));
constexpr int Run_Vectors = 4; // 32 pixels a run

Floats Fma(Floats a, Floats b, Floats c)
{
#if defined(__FMA__) && defined(__AVX__)
    return reinterpret_cast<Floats>(_mm256_fmadd_ps(reinterpret_cast<__m256>(a), reinterpret_cast<__m256>(b),
                                                    reinterpret_cast<__m256>(c)));
#else
    return a * b + c;
#endif
}

bool Any(const Ints (&Alive)[Run_Vectors])
{
    Ints All = Alive[0] | Alive[1] | Alive[2] | Alive[3];
    for (int i = 0; i < 8; ++i)
        if (All[i])
            return true;
    return false;
}

// Counts of one run of 32 pixels starting at column x0 of row y.
void Run_Counts(const Workload& W, const std::uint8_t* Table, int x0, int y, std::uint32_t* Out)
{
    const float Im = W.Y_Min + ((W.Y_Max - W.Y_Min) * float(y)) / float(Height - 1);
    Floats Zr[Run_Vectors], Zi[Run_Vectors], Cr[Run_Vectors], Ci[Run_Vectors];
    Ints Count[Run_Vectors], Alive[Run_Vectors];
    for (int v = 0; v < Run_Vectors; ++v) {
        for (int l = 0; l < 8; ++l) {
            const int x = x0 + 8 * v + l;
            const float Re = W.X_Min + ((W.X_Max - W.X_Min) * float(x)) / float(Width - 1);
            Zr[v][l] = W.Mandelbrot ? 0.0f : Re;
            Zi[v][l] = W.Mandelbrot ? 0.0f : Im;
            Cr[v][l] = W.Mandelbrot ? Re : C_Real;
            Ci[v][l] = W.Mandelbrot ? Im : C_Imag;
            Alive[v][l] = x < Width ? -1 : 0;
        }
        Count[v] = Ints{};
    }
    for (int Step = 0; Step < W.Iterations; Step += 4) {
        for (int s = 0; s < 4 && Step + s < W.Iterations; ++s)
            for (int v = 0; v < Run_Vectors; ++v) {
                const Floats A = Fma(Zr[v], Zr[v], -(Zi[v] * Zi[v])) + Cr[v];
                const Floats B = Fma(Zr[v] + Zr[v], Zi[v], Ci[v]);
                const Floats M = Fma(A, A, B * B);
                Ints Kept;
                if (W.Mandelbrot) {
                    Kept = (M < Threshold) & Alive[v];
                } else {
                    Floats R;
                    for (int l = 0; l < 8; ++l)
                        R[l] = __builtin_sqrtf(M[l]);
                    Kept = (R < Threshold) & Alive[v];
                }
                Zr[v] = Kept ? A : Zr[v];
                Zi[v] = Kept ? B : Zi[v];
                Count[v] -= Kept;
                Alive[v] = Kept;
            }
        if (!Any(Alive))
            break;
    }
    for (int v = 0; v < Run_Vectors; ++v)
        for (int l = 0; l < 8 && x0 + 8 * v + l < Width; ++l) {
            const int e = std::min(Count[v][l], 255);
            Out[8 * v + l] = Table[3 * e] | Table[3 * e + 1] << 8 | Table[3 * e + 2] << 16 | 0xFF000000u;
        }
}

void Reference_Render(const Workload& W, const std::uint8_t* Table, std::uint32_t* Image)
{
    std::atomic<int> Next_Row{0};
    const auto Worker = [&] {
        for (int y = Next_Row++; y < Height; y = Next_Row++)
            for (int x = 0; x < Width; x += 32)
                Run_Counts(W, Table, x, y, Image + std::size_t(y) * Width + x);
    };
    std::vector<std::thread> Threads;
    for (unsigned i = 1; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
        Threads.emplace_back(Worker);
    Worker();
    for (std::thread& T : Threads)
        T.join();
}

// ---- measuring -----------------------------------------------------------------------------------

double Median(std::vector<double> Values)
{
    std::sort(Values.begin(), Values.end());
    const std::size_t n = Values.size();
    return n % 2 ? Values[n / 2] : 0.5 * (Values[n / 2 - 1] + Values[n / 2]);
}

double Milliseconds(const std::function<void()>& Run)
{
    const auto Start = std::chrono::steady_clock::now();
    Run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
}

// Median times of two renders, taken in turns so that both meet the same noise of a shared machine.
std::pair<double, double> Median_Milliseconds(int Warm_Up, int Runs, const std::function<void()>& First,
                                              const std::function<void()>& Second)
{
    for (int i = 0; i < Warm_Up; ++i) {
        First();
        Second();
    }
    std::vector<double> First_Times, Second_Times;
    for (int i = 0; i < Runs; ++i) {
        First_Times.push_back(Milliseconds(First));
        Second_Times.push_back(Milliseconds(Second));
    }
    return {Median(First_Times), Median(Second_Times)};
}

void Engine_Render(Pellarion& Engine, const Workload& W)
{
    if (W.Mandelbrot)
        Engine.Compute_MandelBrot(Threshold, W.Iterations, 50);
    else
        Engine.Compute_Julia(Threshold, W.Iterations, 50, C_Real, C_Imag);
}

// The ways the engine's kernels can run in this build: on the software device, each lane set this CPU
// runs (the portable one, the x86-64 levels v3 and v4, and the build machine's own, compiled here to
// compare with),
// elsewhere the one device.
struct Engine_Variant {
    const char* Name;
    std::function<bool()> Choose;
};

std::vector<Engine_Variant> Engine_Variants()
{
#if defined(KESTRINE_BENCH_LANE_SETS)
    using Soft_Device::Lane_Set;
    std::vector<Engine_Variant> Variants;
    for (const auto& [Set, Name] : {std::pair{Lane_Set::Portable, "portable"}, std::pair{Lane_Set::Avx2_Fma, "avx2"},
                                    std::pair{Lane_Set::Avx512, "avx512"}, std::pair{Lane_Set::Native, "native"}})
        if (Soft_Device::Lane_Set_Runs_Here(Set))
            Variants.push_back({Name, [Set = Set] { return Soft_Control::Use_Lane_Set(Set); }});
    return Variants;
#else
    return {{"engine", [] { return true; }}};
#endif
}

// The table the reference colours with, as the engine shows it: counts 0 to 255 on a collapsed window.
void Engine_Table(Pellarion& Engine, std::uint8_t (&Table)[768])
{
    for (int n = 0; n < 256; ++n) {
        Engine.Compute_Init(1, 1, 0.0f, 0.0f, 0.0f, 0.0f, MORGENSTEMNING);
        Engine.Compute_Julia(Threshold, n, 50, 0.0f, 0.0f);
        std::memcpy(Table + 3 * n, Engine.Host_Image, 3);
    }
}

double Differing_Percent(const Pellarion& Engine, const std::vector<std::uint32_t>& Reference_Image)
{
    std::size_t Differing = 0;
    for (std::size_t i = 0; i < std::size_t(Width) * Height; ++i)
        Differing += std::memcmp(Engine.Host_Image + 4 * i, &Reference_Image[i], 4) != 0;
    return 100.0 * double(Differing) / (double(Width) * Height);
}

} // namespace

int main(int argc, char** argv)
{
    // --quick: one run each, for a smoke run in the test suite.
    const bool Quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    Pellarion Engine;
    if (!Engine.GPU_Available) {
        std::fprintf(stderr, "kestrine-bench: no usable device\n");
        return 1;
    }
    const Workload Workloads[] = {
        {"julia", false, 100, -2.0f, 2.0f, -2.0f, 2.0f},
        {"julia", false, 1000, -2.0f, 2.0f, -2.0f, 2.0f},
        {"mandelbrot", true, 100, -2.0f, 2.0f, -2.0f, 2.0f},
        {"mandelbrot", true, 1000, -2.0f, 2.0f, -2.0f, 2.0f},
        {"interior", true, 1000, -0.3f, -0.1f, -0.1f, 0.1f},
    };
    const std::vector<Engine_Variant> Variants = Engine_Variants();
    std::printf("%s, %d x %d, median ms of whole renders\n", Engine.GPU_Name, Width, Height);
    std::printf("%-11s %6s %-9s %11s %14s %8s %12s\n", "picture", "iter", "kernels", "engine ms", "reference ms",
                "ratio", "differing");
    std::vector<std::uint32_t> Reference_Image(std::size_t(Width) * Height);
    std::uint8_t Table[768];
    Engine_Table(Engine, Table);
    for (const Workload& W : Workloads) {
        std::vector<double> Ratios; // of each variant to the reference in its own turns
        for (const Engine_Variant& Variant : Variants) {
            if (!Variant.Choose())
                continue;
            Engine.Compute_Init(Width, Height, W.X_Min, W.X_Max, W.Y_Min, W.Y_Max, MORGENSTEMNING);
            if (!Engine.Buffers_Ready) {
                std::fprintf(stderr, "kestrine-bench: cannot hold %d x %d\n", Width, Height);
                return 1;
            }
            const int Warm_Up = Quick ? 0 : 2;
            const int Runs = Quick ? 1 : (W.Iterations <= 100 ? 31 : 15);
            const auto [Engine_Ms, Reference_Ms] = Median_Milliseconds(
                Warm_Up, Runs, [&] { Engine_Render(Engine, W); }, [&] { Reference_Render(W, Table, Reference_Image.data()); });
            std::printf("%-11s %6d %-9s %11.2f %14.2f %8.2f %11.4f%%\n", W.Name, W.Iterations, Variant.Name, Engine_Ms,
                        Reference_Ms, Engine_Ms / Reference_Ms, Differing_Percent(Engine, Reference_Image));
            Ratios.push_back(Engine_Ms / Reference_Ms);
        }
        // The set chosen at run time on this CPU (the widest before the native one) against one
        // compiled for it alone, each measured against the reference in its own turns, so that the
        // machine's noise between the two cancels.
        if (Variants.size() >= 3 && Ratios.size() == Variants.size())
            std::printf("%-11s %6d %s / native: %.3f\n", W.Name, W.Iterations, Variants[Variants.size() - 2].Name,
                        Ratios[Ratios.size() - 2] / Ratios.back());
    }
    return 0;
}
