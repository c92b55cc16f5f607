// kestrine-gpu-floor: on an NVIDIA GPU, the iteration kernels' time against the arithmetic floor
// and the copy back against the bus.
//
// Kernel time is the engine's own render time with the iterations less the same render without
// them. The floor is the FP32 instructions of the iteration loop over the GPU's FP32 issue rate
// (SMs x FP32 lanes per SM x clock). The copy back is timed on its own: the image from device
// memory into page-locked host memory.
#include <Pellarion.h>
#include <cuda_runtime.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Width = 1600, Height = 1000, Iterations = 1000;

// FP32 instructions per pixel and step of the loops in Kestrine.cu (multiplies, fused multiply-adds,
// adds, the square root's two special-function steps, the compare and three selects).
constexpr double Julia_Instructions = 13.0;
constexpr double Mandelbrot_Instructions = 11.0;

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
    const double Pixel_Iterations = double(Width) * Height * Iterations;
    for (const bool Mandelbrot : {false, true}) {
        const double Without = Render_Ms(Engine, Mandelbrot, 0);
        const double Kernels = Render_Ms(Engine, Mandelbrot, Iterations) - Without;
        const double Floor =
            Pixel_Iterations * (Mandelbrot ? Mandelbrot_Instructions : Julia_Instructions) / Issue_Rate * 1e3;
        std::printf("%-10s %dx%d x %d: iteration kernels %.3f ms, arithmetic floor %.3f ms (%.0f%% of peak); "
                    "render without iterations %.3f ms\n",
                    Mandelbrot ? "mandelbrot" : "julia", Width, Height, Iterations, Kernels, Floor,
                    100.0 * Floor / Kernels, Without);
    }
    const std::size_t Image_Bytes = std::size_t(Width) * Height * 4;
    const double Copy = Copy_Back_Ms(Image_Bytes);
    std::printf("copy back %zu bytes: %.3f ms, %.1f GB/s\n", Image_Bytes, Copy, Image_Bytes / (Copy * 1e6));
    return 0;
}
