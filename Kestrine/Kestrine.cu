// Kestrine: the Pellarion engine, and with it the library's one device module.
//
// This one file is compiled by nvcc for NVIDIA GPUs and by the host compiler for the software
// device (SoftDevice/), which stands in for the CUDA runtime. The kernels and the engine are the
// same source on both; only the launch helper (Kernels.cuh) and the lane types that the pixel
// kernels compute with (PixelLanes.cuh) differ between the devices. Every kernel is part of this
// module: the pixel kernels and the array kernels are included here, except that the software device
// compiles the pixel kernels once per lane set of its own (PixelKernelLanes.cpp).
#include "Pellarion.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "ArrayKernels.cuh"
#include "Colormaps.h"
#include "Kernels.cuh"
#if defined(__CUDACC__)
#include "PixelKernels.cuh"
#endif

extern "C" {
KESTRINE_API std::int32_t NvOptimusEnablementCuda = 1;
}

// ---------------------------------------------------------------------------------------------
// The engine
// ---------------------------------------------------------------------------------------------

namespace {

constexpr int Block_Side = Pixel_Block_Side;
// The colour pass addresses bytes with 32-bit offsets: four bytes a pixel.
constexpr long long Pixel_Limit = 1LL << 30;
// A launch grid has at most 65535 rows of blocks.
constexpr int Height_Limit = 65535 * Block_Side - 1;

void Report_Cuda_Error(cudaError_t Error, const char* File, int Line)
{
    if (Error != cudaSuccess)
        std::printf("CUDA ERROR: %s in %s at line %d\n", cudaGetErrorString(Error), File, Line);
}

#define REPORT(Status) Report_Cuda_Error((Status), __FILE__, __LINE__)

// Each engine's own pair of timing events, held by the library beside the engine (its layout has no
// room for them), so that engines rendering on several threads at once each time their own render.
// Engines may be made, used and destroyed on different threads: the table changes under a lock.
struct Timing_Events {
    cudaEvent_t Start = nullptr;
    cudaEvent_t Stop = nullptr;
};

std::mutex& Events_Mutex()
{
    static std::mutex Mutex;
    return Mutex;
}

std::map<const Pellarion*, Timing_Events>& Events_Of_Engines()
{
    static std::map<const Pellarion*, Timing_Events> Table;
    return Table;
}

// The engine's events; none (null handles, which every event call refuses) if it has none.
Timing_Events Events_Of(const Pellarion* Engine)
{
    const std::lock_guard<std::mutex> Lock(Events_Mutex());
    const auto Found = Events_Of_Engines().find(Engine);
    return Found == Events_Of_Engines().end() ? Timing_Events{} : Found->second;
}

void Create_Events(const Pellarion* Engine)
{
    Timing_Events Events;
    Report_Cuda_Error(cudaEventCreate(&Events.Start), __FILE__, __LINE__);
    Report_Cuda_Error(cudaEventCreate(&Events.Stop), __FILE__, __LINE__);
    try {
        const std::lock_guard<std::mutex> Lock(Events_Mutex());
        Events_Of_Engines()[Engine] = Events;
        return;
    } catch (const std::bad_alloc&) {
    }
    // Without room in the table the engine renders untimed; its events go at once.
    for (const cudaEvent_t Event : {Events.Start, Events.Stop})
        if (Event)
            Report_Cuda_Error(cudaEventDestroy(Event), __FILE__, __LINE__);
}

void Destroy_Events(const Pellarion* Engine)
{
    Timing_Events Events;
    {
        const std::lock_guard<std::mutex> Lock(Events_Mutex());
        const auto Found = Events_Of_Engines().find(Engine);
        if (Found == Events_Of_Engines().end())
            return;
        Events = Found->second;
        Events_Of_Engines().erase(Found);
    }
    for (const cudaEvent_t Event : {Events.Start, Events.Stop})
        if (Event)
            Report_Cuda_Error(cudaEventDestroy(Event), __FILE__, __LINE__);
}

template <typename T>
void Free_Device(T*& Pointer, int Line)
{
    if (!Pointer)
        return;
    cudaFree(Pointer);
    Report_Cuda_Error(cudaGetLastError(), __FILE__, Line);
    Pointer = nullptr;
}

// A failed allocation is handled where it happens (the engine stays Idle) and is not reported. The
// runtime also keeps it as the last error; it is taken off there, or the next check would print it
// against whatever call came next.
bool Allocated(cudaError_t Status)
{
    if (Status == cudaSuccess)
        return true;
    cudaGetLastError();
    return false;
}

template <typename T>
bool Allocate_Device(T*& Pointer, std::size_t Bytes)
{
    if (Allocated(cudaMalloc(&Pointer, Bytes)))
        return true;
    Pointer = nullptr;
    return false;
}

// Whether the device can run the library's kernels; the query's own failure is not an error to report.
// Every kernel is in the one module, so any of them tells: one that both devices compile here.
bool Kernels_Run_On_This_Device()
{
    cudaFuncAttributes Attributes;
    if (cudaFuncGetAttributes(&Attributes, IntToFloat) == cudaSuccess)
        return true;
    cudaGetLastError();
    return false;
}

// Launches for a render: the iterations divided by the launch size, rounded up, in integers, so that
// it is exact for every count (single precision loses the last launch above 2^24 iterations).
int Passes_For(int Max_Iterations, int Iterations_Per_Launch)
{
    if (Max_Iterations <= 0 || Iterations_Per_Launch <= 0)
        return 0;
    return Max_Iterations / Iterations_Per_Launch + (Max_Iterations % Iterations_Per_Launch != 0 ? 1 : 0);
}

// The render sequence shared by both sets; Launch_Iterations(n) launches the set's iteration kernel.
template <typename Iteration_Launch>
void Render(Pellarion& Engine, int Max_Iterations, int Iterations_Per_Launch, Iteration_Launch Launch_Iterations)
{
    if (!Engine.GPU_Available || !Engine.Buffers_Ready)
        return;
    const dim3 Block(Block_Side, Block_Side, 1);
    const dim3 Grid(Engine.Width / Block_Side + 1, Engine.Height / Block_Side + 1, 1);
    const std::size_t Pixels = static_cast<std::size_t>(Engine.Width * Engine.Height);

    const Timing_Events Events = Events_Of(&Engine);
    REPORT(cudaEventRecord(Events.Start, 0));
    LAUNCH_PIXELWISE_KERNEL(JuliaMandelInitialize, Grid, Block, Engine.Dev_Grid, Engine.X_Min, Engine.X_Max, Engine.Y_Min,
                  Engine.Y_Max, Engine.Width, Engine.Height);
    REPORT(cudaGetLastError());

    const int Passes = Passes_For(Max_Iterations, Iterations_Per_Launch);
    REPORT(cudaMemset(Engine.Dev_Z_Real, 0, Pixels * sizeof(float)));
    REPORT(cudaMemset(Engine.Dev_Z_Imag, 0, Pixels * sizeof(float)));
    REPORT(cudaMemset(Engine.Dev_Iterations, 0, Pixels * sizeof(int)));
    int Remaining = Max_Iterations;
    for (int Pass = 0; Pass < Passes; ++Pass) {
        const int Steps = Remaining < Iterations_Per_Launch ? Remaining : Iterations_Per_Launch;
        if (Steps <= 0)
            break;
        Launch_Iterations(Grid, Block, Steps);
        REPORT(cudaGetLastError());
        Remaining -= Iterations_Per_Launch;
    }

    // The image is written over the complex points: 4 of their 8 bytes a pixel.
    LAUNCH_LANE_KERNEL(ApplyColorMap, Grid, Block, Engine.Dev_Iterations, Engine.Dev_Colormap,
                  reinterpret_cast<unsigned char*>(Engine.Dev_Grid), Engine.Width, Engine.Height);
    REPORT(cudaGetLastError());
    // A picture that did not arrive is shown black, never what the host buffer held before.
    if (cudaMemcpy(Engine.Host_Image, Engine.Dev_Grid, Pixels * 4, cudaMemcpyDeviceToHost) != cudaSuccess)
        std::memset(Engine.Host_Image, 0, Pixels * 4);
    REPORT(cudaGetLastError());

    REPORT(cudaEventRecord(Events.Stop, 0));
    REPORT(cudaEventSynchronize(Events.Stop));
    REPORT(cudaEventElapsedTime(&Engine.Elapsed_Time, Events.Start, Events.Stop));
}

} // namespace

Pellarion::Pellarion()
    : Width(0), Height(0), Colormap(static_cast<Colormap_t>(0)), X_Min(-2.0f), X_Max(2.0f), Y_Min(-2.0f),
      Y_Max(2.0f), Dev_Iterations(nullptr), Dev_Grid(nullptr), Dev_Colormap(nullptr), Dev_Z_Real(nullptr),
      Dev_Z_Imag(nullptr), GPU_Available(true), Buffers_Ready(false), Host_Image(nullptr)
{
    // Elapsed_Time, Device_Count and the device description stay unwritten until something is known.
    cudaRuntimeGetVersion(&Runtime_Version);
    cudaDriverGetVersion(&Driver_Version);
    if (Runtime_Version > Driver_Version) {
        GPU_Available = false;
        return;
    }
    cudaGetDeviceCount(&Device_Count);
    if (Device_Count < 1) {
        GPU_Available = false;
        return;
    }

    cudaDeviceProp Properties;
    std::memset(&Properties, 0, sizeof(Properties));
    cudaGetDeviceProperties(&Properties, 0);
    CC_Major = Properties.major;
    CC_Minor = Properties.minor;
    std::memcpy(GPU_Name, Properties.name, sizeof(GPU_Name));
    GPU_Name[sizeof(GPU_Name) - 1] = '\0';

    // A device that none of the library's kernel images serves (an architecture the build left out)
    // would fail every launch: it is no device for the engine.
    if (!Kernels_Run_On_This_Device()) {
        GPU_Available = false;
        return;
    }

    Create_Events(this);

    if (!Allocate_Device(Dev_Colormap, Kestrine::Colormap_Bytes)) {
        Buffers_Ready = false;
        Fractals_CleanUp();
        return;
    }
    // Black until the first colour table arrives, never whatever the memory held.
    REPORT(cudaMemset(Dev_Colormap, 0, Kestrine::Colormap_Bytes));
}

Pellarion::~Pellarion()
{
    Fractals_CleanUp();
    if (Dev_Colormap) {
        REPORT(cudaFree(Dev_Colormap));
        Dev_Colormap = nullptr;
    }
    // Only an engine that found a device has events; the others never call the runtime again.
    if (GPU_Available)
        Destroy_Events(this);
}

void Pellarion::Compute_Init(int width, int height, float xMin, float xMax, float yMin, float yMax, Colormap_t colormap)
{
    if (!GPU_Available)
        return;
    X_Min = xMin;
    X_Max = xMax;
    Y_Min = yMin;
    Y_Max = yMax;
    // Without a colour table the engine cannot colour anything: it stays Idle and renders nothing.
    if (!Dev_Colormap)
        return;

    if (width != Width || height != Height) {
        Fractals_CleanUp();
        Fractals_Initialize(width, height);
    }

    if (colormap == Colormap)
        return;
    Colormap = colormap;
    if (const Kestrine::Colour_Table* Table = Kestrine::Colour_Table_For(colormap)) {
        cudaMemcpy(Dev_Colormap, Table->data(), Table->size(), cudaMemcpyHostToDevice);
        REPORT(cudaGetLastError());
    }
}

void Pellarion::Compute_Julia(float threshold, int maxIterations, int iterationsPerLaunch, float cReal, float cImag)
{
    const float2 C = make_float2(cReal, cImag);
    Render(*this, maxIterations, iterationsPerLaunch, [&](dim3 Grid, dim3 Block, int Steps) {
        LAUNCH_PIXELWISE_KERNEL(JuliaKernel, Grid, Block, Dev_Grid, C, Dev_Iterations, threshold, Steps, Width, Height);
    });
}

void Pellarion::Compute_MandelBrot(float threshold, int maxIterations, int iterationsPerLaunch)
{
    Render(*this, maxIterations, iterationsPerLaunch, [&](dim3 Grid, dim3 Block, int Steps) {
        LAUNCH_PIXELWISE_KERNEL(MandelBrotKernel, Grid, Block, Dev_Grid, Dev_Z_Real, Dev_Z_Imag, Dev_Iterations,
                                threshold, Steps, Width, Height);
    });
}

void Pellarion::Fractals_Initialize(int width, int height)
{
    Width = width;
    Height = height;
    // Sizes that no buffer can hold or no grid can cover are refused the way a failed allocation is:
    // Idle, nothing held.
    if (width <= 0 || height <= 0 || height > Height_Limit || static_cast<long long>(width) * height >= Pixel_Limit)
        return;
    const std::size_t Pixels = static_cast<std::size_t>(width * height);

    const bool All_Allocated = Allocate_Device(Dev_Grid, Pixels * sizeof(float2)) &&
                               Allocate_Device(Dev_Iterations, Pixels * sizeof(int)) &&
                               Allocate_Device(Dev_Z_Real, Pixels * sizeof(float)) &&
                               Allocate_Device(Dev_Z_Imag, Pixels * sizeof(float)) &&
                               Allocated(cudaHostAlloc(&Host_Image, Pixels * 4, cudaHostAllocDefault));
    if (!All_Allocated) {
        Host_Image = nullptr; // never handed out if its allocation is the one that failed
        Fractals_CleanUp();
        return;
    }
    Buffers_Ready = true;
}

void Pellarion::Fractals_CleanUp()
{
    Buffers_Ready = false;
    Free_Device(Dev_Iterations, __LINE__);
    Free_Device(Dev_Grid, __LINE__);
    Free_Device(Dev_Z_Real, __LINE__);
    Free_Device(Dev_Z_Imag, __LINE__);
    if (Host_Image) {
        cudaFreeHost(Host_Image);
        REPORT(cudaGetLastError());
        Host_Image = nullptr;
    }
}
