// kestrine-gpu-floor: on an NVIDIA GPU, the iteration kernels' time against the arithmetic floor
// and the copy back against the bus.
//
// Kernel time is the engine's own render time with the iterations less the same render without
// them. A thread leaves its loop at its first refused step, so the floor counts only the steps of
// pixels still alive (a pixel with count k < N runs k + 1 steps; one inside the set N), found here on
// the host from the same recurrence, times the FP32 instructions of one step, over the GPU's FP32
// issue rate (SMs x FP32 lanes per SM x clock). A warp runs as long as its slowest pixel, so the
// floor of the steps its warps run is shown beside it. The copy back is timed on its own: the image
// from device memory into page-locked host memory.
#include <Pellarion.h>
#include <cuda_runtime.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int Width = 1600, Height = 1000, Iterations = 1000;

// FP32 instructions per pixel and step of the loops in Kestrine.cu (two multiplies, three fused
// multiply-adds, two adds, the compare; Julia also the square root's two special-function steps).
constexpr double Julia_Instructions = 10.0;
constexpr double Mandelbrot_Instructions = 8.0;

// Steps the loop runs for one pixel: its count of kept steps, plus the refused one that ends it.
int Steps_Run(float Zr, float Zi, float Cr, float Ci, bool Mandelbrot)
{
    for (int k = 0; k < Iterations; ++k) {
        const float A = std::fma(Zr, Zr, -(Zi * Zi)) + Cr;
        const float B = std::fma(Zr + Zr, Zi, Ci);
        const float M = std::fma(A, A, B * B);
        if (!(Mandelbrot ? M < 4.0f : std::sqrt(M) < 4.0f))
            return k + 1;
        Zr = A;
        Zi = B;
    }
    return Iterations;
}

// Steps of the pixels still alive, and of the warps (32 consecutive pixels of a row) that hold them.
void Alive_Steps(bool Mandelbrot, double& Pixel_Steps, double& Warp_Steps)
{
    Pixel_Steps = Warp_Steps = 0.0;
    for (int y = 0; y < Height; ++y) {
        const float Im = -2.0f + (4.0f * float(y)) / float(Height - 1);
        int Warp_Max = 0;
        for (int x = 0; x < Width; ++x) {
            const float Re = -2.0f + (4.0f * float(x)) / float(Width - 1);
            const int Steps = Mandelbrot ? Steps_Run(0.0f, 0.0f, Re, Im, true) : Steps_Run(Re, Im, -0.4001f, 0.6f, false);
            Pixel_Steps += Steps;
            Warp_Max = std::max(Warp_Max, Steps);
            if (x % 32 == 31 || x == Width - 1) {
                Warp_Steps += 32.0 * Warp_Max;
                Warp_Max = 0;
            }
        }
    }
}

int Fp32_Lanes_Per_Sm(int Major, int Minor)
{
    if (Major == 6 && Minor == 0)
        return 64;
    if (Major == 7 || (Major == 8 && Minor == 0))
        return 64;
    return 128;
}

double Median(std::vector<double> Values)
{
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

double Render_Ms(Pellarion& Engine, bool Mandelbrot, int N)
{
    std::vector<double> Times;
    for (int Run = 0; Run < 9; ++Run) {
        if (Mandelbrot)
            Engine.Compute_MandelBrot(4.0f, N, 50);
        else
            Engine.Compute_Julia(4.0f, N, 50, -0.4001f, 0.6f);
        if (Run > 1)
            Times.push_back(Engine.Elapsed_Time);
    }
    return Median(Times);
}

double Copy_Back_Ms(std::size_t Bytes)
{
    void* Device = nullptr;
    void* Host = nullptr;
    cudaEvent_t Start, Stop;
    if (cudaMalloc(&Device, Bytes) != cudaSuccess || cudaHostAlloc(&Host, Bytes, cudaHostAllocDefault) != cudaSuccess)
        return -1.0;
    cudaEventCreate(&Start);
    cudaEventCreate(&Stop);
    std::vector<double> Times;
    for (int Run = 0; Run < 21; ++Run) {
        cudaEventRecord(Start, 0);
        cudaMemcpy(Host, Device, Bytes, cudaMemcpyDeviceToHost);
        cudaEventRecord(Stop, 0);
        cudaEventSynchronize(Stop);
        float Ms = 0.0f;
        cudaEventElapsedTime(&Ms, Start, Stop);
        Times.push_back(Ms);
    }
    cudaEventDestroy(Start);
    cudaEventDestroy(Stop);
    cudaFreeHost(Host);
    cudaFree(Device);
    return Median(Times);
}

} // namespace

int main()
{
    Pellarion Engine;
    if (!Engine.GPU_Available) {
        std::fprintf(stderr, "kestrine-gpu-floor: no usable GPU\n");
        return 1;
    }
    int Sms = 0, Clock_KHz = 0;
    cudaDeviceGetAttribute(&Sms, cudaDevAttrMultiProcessorCount, 0);
    cudaDeviceGetAttribute(&Clock_KHz, cudaDevAttrClockRate, 0);
    const double Issue_Rate = double(Sms) * Fp32_Lanes_Per_Sm(Engine.CC_Major, Engine.CC_Minor) * Clock_KHz * 1e3;
    std::printf("%s: %d SMs, %.0f MHz, %.1f T FP32 instructions/s\n", Engine.GPU_Name, Sms, Clock_KHz / 1e3,
                Issue_Rate / 1e12);

    Engine.Compute_Init(Width, Height, -2.0f, 2.0f, -2.0f, 2.0f, MORGENSTEMNING);
    for (const bool Mandelbrot : {false, true}) {
        const double Without = Render_Ms(Engine, Mandelbrot, 0);
        const double Kernels = Render_Ms(Engine, Mandelbrot, Iterations) - Without;
        double Pixel_Steps, Warp_Steps;
        Alive_Steps(Mandelbrot, Pixel_Steps, Warp_Steps);
        const double Per_Step = (Mandelbrot ? Mandelbrot_Instructions : Julia_Instructions) / Issue_Rate * 1e3;
        std::printf("%-10s %dx%d x %d: iteration kernels %.3f ms; floor of the alive pixels %.3f ms (%.0f%%), "
                    "of their warps %.3f ms (%.0f%%); render without iterations %.3f ms\n",
                    Mandelbrot ? "mandelbrot" : "julia", Width, Height, Iterations, Kernels, Pixel_Steps * Per_Step,
                    100.0 * Pixel_Steps * Per_Step / Kernels, Warp_Steps * Per_Step,
                    100.0 * Warp_Steps * Per_Step / Kernels, Without);
    }
    const std::size_t Image_Bytes = std::size_t(Width) * Height * 4;
    const double Copy = Copy_Back_Ms(Image_Bytes);
    std::printf("copy back %zu bytes: %.3f ms, %.1f GB/s\n", Image_Bytes, Copy, Image_Bytes / (Copy * 1e6));
    return 0;
}
