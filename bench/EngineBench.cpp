// kestrine-bench: render throughput of the engine on whichever device the library was built for.
//
// Each workload renders through the public engine API: a few warm-up renders, then repeated ones;
// the line shows the median wall time of a whole render (grid set-up to copy back) and that time
// per pixel-iteration.
#include <Pellarion.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Workload {
    const char* Name;
    bool Mandelbrot;
    int Width, Height, Iterations;
};

double Median(std::vector<double> Values)
{
    std::sort(Values.begin(), Values.end());
    const std::size_t n = Values.size();
    return n % 2 ? Values[n / 2] : 0.5 * (Values[n / 2 - 1] + Values[n / 2]);
}

double Render_Milliseconds(Pellarion& Engine, const Workload& W)
{
    const auto Start = std::chrono::steady_clock::now();
    if (W.Mandelbrot)
        Engine.Compute_MandelBrot(4.0f, W.Iterations, 50);
    else
        Engine.Compute_Julia(4.0f, W.Iterations, 50, -0.4001f, 0.6f);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
}

} // namespace

int main(int argc, char** argv)
{
    // --quick: fewer repetitions, for a smoke run in the test suite.
    const bool Quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    Pellarion Engine;
    if (!Engine.GPU_Available) {
        std::fprintf(stderr, "kestrine-bench: no usable device\n");
        return 1;
    }
    const Workload Workloads[] = {
        {"julia", false, 1600, 1000, 100},
        {"julia", false, 1600, 1000, 1000},
        {"mandelbrot", true, 1600, 1000, 100},
        {"mandelbrot", true, 1600, 1000, 1000},
    };
    std::printf("%-44s %-10s %-11s %6s %10s %10s %12s\n", "device", "set", "size", "iter", "ms/render",
                "engine ms", "ns/pixel-it");
    for (const Workload& W : Workloads) {
        Engine.Compute_Init(W.Width, W.Height, -2.0f, 2.0f, -2.0f, 2.0f, MORGENSTEMNING);
        if (!Engine.Buffers_Ready) {
            std::fprintf(stderr, "kestrine-bench: cannot hold %d x %d\n", W.Width, W.Height);
            return 1;
        }
        const int Warm_Up = Quick ? 1 : 3;
        const int Runs = Quick ? 1 : (W.Iterations <= 100 ? 21 : 7);
        for (int i = 0; i < Warm_Up; ++i)
            Render_Milliseconds(Engine, W);
        std::vector<double> Wall, Engine_Time;
        for (int i = 0; i < Runs; ++i) {
            Wall.push_back(Render_Milliseconds(Engine, W));
            Engine_Time.push_back(Engine.Elapsed_Time);
        }
        const double Ms = Median(Wall);
        const double Pixel_Iterations = double(W.Width) * W.Height * W.Iterations;
        char Size[32];
        std::snprintf(Size, sizeof(Size), "%dx%d", W.Width, W.Height);
        std::printf("%-44.44s %-10s %-11s %6d %10.2f %10.2f %12.4f\n", Engine.GPU_Name, W.Name, Size, W.Iterations, Ms,
                    Median(Engine_Time), Ms * 1e6 / Pixel_Iterations);
    }
    return 0;
}
