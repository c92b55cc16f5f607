// Kestrine: the Pellarion engine and every kernel of the library.
//
// This one file is compiled by nvcc for NVIDIA GPUs and by the host compiler for the software
// device (SoftDevice/), which stands in for the CUDA runtime. The kernels and the engine are the
// same source on both; only the launch helper (Kernels.cuh) and the lane types that the image
// kernels compute with (PixelLanes.cuh) differ between the devices.
#include "Pellarion.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "Colormaps.h"
#include "Kernels.cuh"

extern "C" {
KESTRINE_API std::int32_t NvOptimusEnablementCuda = 1;
}

// ---------------------------------------------------------------------------------------------
// Escape-time kernels
// ---------------------------------------------------------------------------------------------

__global__ void JuliaMandelInitialize(float2* Grid, float X_First, float X_Last, float Y_First, float Y_Last, int W, int H)
{
    const PixelLanes Pixels(W, H);
    if (Pixels.Empty())
        return;
    // A single column or row lies at the window's first value: W - 1 or H - 1 would be a division by zero.
    const LaneFloat Real = W > 1 ? X_First + ((X_Last - X_First) * Pixels.Column()) / static_cast<float>(W - 1)
                                 : LaneFloat(X_First);
    const LaneFloat Imag = H > 1 ? Y_First + ((Y_Last - Y_First) * Pixels.Row()) / static_cast<float>(H - 1)
                                 : LaneFloat(Y_First);
    Pixels.Store(Grid, Real, Imag);
}

// The candidate z^2 + c, with its multiply-adds fused at fixed places, the same on both devices:
// real part fma(zr, zr, -(zi zi)) + cr, imaginary part fma(zr + zr, zi, ci). The doubling is exact;
// where it overflows, zr zr overflows as well and the candidate is refused either way.
template <typename Value>
__device__ __forceinline__ void Square_Plus(Value Zr, Value Zi, Value Cr, Value Ci, Value& A, Value& B)
{
    A = Fused_Multiply_Add(Zr, Zr, -(Zi * Zi)) + Cr;
    B = Fused_Multiply_Add(Zr + Zr, Zi, Ci);
}

// |z|^2 as one multiply and one fused multiply-add.
template <typename Value>
__device__ __forceinline__ Value Squared_Magnitude(Value A, Value B)
{
    return Fused_Multiply_Add(A, A, B * B);
}

// The counts grow by the steps kept in this launch; they are read only where some step was kept.
__device__ __forceinline__ void Add_To(const PixelLanes& Pixels, int* Iterations, const LaneInt& Kept)
{
    LaneInt Counts;
    Pixels.Load(Iterations, Counts);
    Pixels.Store(Iterations, Counts + Kept);
}

// z <- z^2 + c with one c for the whole image, z starting at the pixel's point. A step is kept only
// while |z| stays below the threshold; a refused step freezes the pixel, so launches can resume.
// Runs that change nothing are not written back: memory already holds what they would write.
__global__ void JuliaKernel(float2* Grid, float2 C, int* Iterations, float Threshold, int Steps, int W, int H)
{
    const PixelLanes Pixels(W, H);
    if (Pixels.Empty())
        return;
    LaneFloat Zr, Zi;
    Pixels.Load(Grid, Zr, Zi);
    LaneInt Kept(0);
    const Root_Threshold Bound = Threshold_For_Root(Threshold);
    const auto Step = [Bound](auto Real, auto Imag, auto Cr, auto Ci, auto& A, auto& B) {
        Square_Plus(Real, Imag, Cr, Ci, A, B);
        return Root_Below(Squared_Magnitude(A, B), Bound);
    };
    if (!Iterate_Orbit(Pixels, Zr, Zi, LaneFloat(C.x), LaneFloat(C.y), Kept, Steps, Step))
        return;
    Pixels.Store(Grid, Zr, Zi);
    Add_To(Pixels, Iterations, Kept);
}

// z <- z^2 + c with c the pixel's point and z starting at 0, kept in two planes of its own; the
// threshold bounds |z|^2 here.
__global__ void MandelBrotKernel(float2* Grid, float* Z_Real, float* Z_Imag, int* Iterations, float Threshold,
                                 int Steps, int W, int H)
{
    const PixelLanes Pixels(W, H);
    if (Pixels.Empty())
        return;
    LaneFloat Cr, Ci, Zr, Zi;
    Pixels.Load(Grid, Cr, Ci);
    Pixels.Load(Z_Real, Zr);
    Pixels.Load(Z_Imag, Zi);
    LaneInt Kept(0);
    const auto Step = [Threshold](auto Real, auto Imag, auto Cr, auto Ci, auto& A, auto& B) {
        Square_Plus(Real, Imag, Cr, Ci, A, B);
        return Squared_Magnitude(A, B) < Threshold;
    };
    if (!Iterate_Orbit(Pixels, Zr, Zi, Cr, Ci, Kept, Steps, Step))
        return;
    Pixels.Store(Z_Real, Zr);
    Pixels.Store(Z_Imag, Zi);
    Add_To(Pixels, Iterations, Kept);
}

// ---------------------------------------------------------------------------------------------
// Colour pass
// ---------------------------------------------------------------------------------------------

// The three buffers never overlap: said with __restrict__, the GPU may read through its read-only
// cache and a CPU need not reload anything after each pixel it writes. Counts are not scaled to the
// iteration limit: 255 and above share the last entry. One 32-bit store a pixel, whose bytes in memory
// (these machines are little-endian) are red, green, blue and 255.
__global__ void ApplyColorMap(int* __restrict__ Iterations, unsigned char* __restrict__ Colormap,
                              unsigned char* __restrict__ Image, int W, int H)
{
    constexpr int Opaque = static_cast<int>(0xFF000000u);
    const PixelLanes Pixels(W, H);
    if (Pixels.Empty())
        return;
    LaneInt Counts;
    Pixels.Load(Iterations, Counts);
    Pixels.Store(reinterpret_cast<int*>(Image), Load_Rgb(Colormap, Minimum(Counts, 255)) | Opaque);
}

// ---------------------------------------------------------------------------------------------
// Array kernels: no engine operation launches them; they ride along in the device module.
// ---------------------------------------------------------------------------------------------

namespace {

__device__ __forceinline__ void Thread_Position(int& x, int& y)
{
    x = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
    y = static_cast<int>(blockIdx.y * blockDim.y + threadIdx.y);
}

// This thread's element of a W x H image, or false for a thread outside it.
__device__ __forceinline__ bool Element_Of(int W, int H, int& x, int& y)
{
    Thread_Position(x, y);
    return x < W && y < H;
}

__device__ __forceinline__ int Floor_Half(int Value)
{
    return Value >= 0 ? Value / 2 : -((1 - Value) / 2);
}

// What ComplexToCustom extracts; false for a mode it does not know, which writes nothing.
__device__ __forceinline__ bool Custom_Value(float Real, float Imag, ComplexOutput Mode, float& Value)
{
    switch (Mode) {
    case REAL: Value = Real; return true;
    case IMAGINARY: Value = Imag; return true;
    case MAGNITUDE: Value = sqrtf(Real * Real + Imag * Imag); return true;
    case PHASE: Value = atanf(Imag / Real); return true; // one-argument arctangent: -pi/2 to pi/2
    }
    return false;
}

// Where element Position of a row (or column) of length Length goes, and from where its slot is
// filled, for a centring shift: elements left of the shift go to the end; the others are filled from
// Shift places further on, one place off for odd lengths. Callers drop indices outside the row.
__device__ __forceinline__ void Circular_Shift_Indices(int Position, int Length, int Shift, int Direction, int& To,
                                                       int& From)
{
    if (Position < Shift) {
        To = Position + Length - Shift;
        From = Position;
        return;
    }
    const int Odd_Correction = Length % 2 == 0 ? 0 : (Direction == 1 ? -1 : 1);
    To = Position - (Length - Shift) + Odd_Correction;
    From = To + Shift;
}

// Cuts the Crop_W x Crop_H window at (Offset_X, Offset_Y) out of an image Crop_W + 2 Offset_X wide;
// the grid runs over the input.
template <typename Element>
__device__ __forceinline__ void Crop_Element(Element* In, Element* Out, int Crop_W, int Crop_H, int Offset_X,
                                             int Offset_Y)
{
    int x, y;
    Thread_Position(x, y);
    if (x >= Offset_X && x < Offset_X + Crop_W && y >= Offset_Y && y < Offset_Y + Crop_H)
        Out[(y - Offset_Y) * Crop_W + (x - Offset_X)] = In[y * (Crop_W + 2 * Offset_X) + x];
}

__device__ __forceinline__ bool Inside(int Index, int Length)
{
    return Index >= 0 && Index < Length;
}

} // namespace

__global__ void IntToFloat(int* In, float* Out, int W, int H)
{
    int x, y;
    if (Element_Of(W, H, x, y))
        Out[y * W + x] = static_cast<float>(In[y * W + x]);
}

__global__ void IntToComplex(int* In, float2* Out, int W, int H)
{
    int x, y;
    if (Element_Of(W, H, x, y))
        Out[y * W + x] = make_float2(static_cast<float>(In[y * W + x]), 0.0f);
}

__global__ void ComplexToReal(float2* In, float* Out, int W, int H)
{
    int x, y;
    if (Element_Of(W, H, x, y))
        Out[y * W + x] = In[y * W + x].x;
}

// B := A * B, element by element; A is only read.
__global__ void ComplexMultiply(float2* A, float2* B, int W, int H)
{
    int x, y;
    if (!Element_Of(W, H, x, y))
        return;
    const float2 a = A[y * W + x];
    const float2 b = B[y * W + x];
    B[y * W + x] = make_float2(a.x * b.x - a.y * b.y, a.x * b.y + a.y * b.x);
}

// Places a W x H real image in the centre of a complex one 2W + Pad_X wide; the rest is left alone.
__global__ void DeployKernel(float* In, float2* Out, int Pad_X, int Pad_Y, int W, int H)
{
    int x, y;
    if (!Element_Of(W, H, x, y))
        return;
    const int Offset_X = Floor_Half(W + Pad_X);
    const int Offset_Y = Floor_Half(H + Pad_Y);
    Out[(Offset_Y + y) * (2 * W + Pad_X) + (Offset_X + x)] = make_float2(In[y * W + x], 0.0f);
}

__global__ void CropImage(float2* In, float2* Out, int Crop_W, int Crop_H, int Offset_X, int Offset_Y)
{
    Crop_Element(In, Out, Crop_W, Crop_H, Offset_X, Offset_Y);
}

__global__ void CropImage(float* In, float* Out, int Crop_W, int Crop_H, int Offset_X, int Offset_Y)
{
    Crop_Element(In, Out, Crop_W, Crop_H, Offset_X, Offset_Y);
}

// Column-major W x H input to row-major output.
__global__ void Col2Row(float* In, float* Out, int W, int H)
{
    int x, y;
    if (Element_Of(W, H, x, y))
        Out[y * W + x] = In[x * H + y];
}

// Row-major W x H input to column-major output.
__global__ void Row2Col(float* In, float* Out, int W, int H)
{
    int x, y;
    if (Element_Of(W, H, x, y))
        Out[x * H + y] = In[y * W + x];
}

__global__ void ComplexToCustom(float2* In, float* Out, ComplexOutput Mode, int W, int H)
{
    int x, y;
    float Value;
    if (Element_Of(W, H, x, y) && Custom_Value(In[y * W + x].x, In[y * W + x].y, Mode, Value))
        Out[y * W + x] = Value;
}

__global__ void ComplexToCustom(float* In_Real, float* In_Imag, float* Out, ComplexOutput Mode, int W, int H)
{
    int x, y;
    float Value;
    if (Element_Of(W, H, x, y) && Custom_Value(In_Real[y * W + x], In_Imag[y * W + x], Mode, Value))
        Out[y * W + x] = Value;
}

// Rotates every row left by Shift_X: with ceil(W/2) and direction 1 element 0 moves to the middle of
// the row, with floor(W/2) and another direction it moves back. Shift_Y is not used. A combination
// outside those writes nothing out of the row's bounds.
__global__ void ShiftRows2D(float2* In, float2* Out, int W, int H, int Shift_X, int, int Direction)
{
    int x, y, To, From;
    if (!Element_Of(W, H, x, y))
        return;
    Circular_Shift_Indices(x, W, Shift_X, Direction, To, From);
    if (Inside(To, W) && Inside(From, W))
        Out[y * W + To] = In[y * W + From];
}

// The same along every column, by Shift_Y; Shift_X is not used.
__global__ void ShiftCols2D(float2* In, float2* Out, int W, int H, int, int Shift_Y, int Direction)
{
    int x, y, To, From;
    if (!Element_Of(W, H, x, y))
        return;
    Circular_Shift_Indices(y, H, Shift_Y, Direction, To, From);
    if (Inside(To, H) && Inside(From, H))
        Out[To * W + x] = In[From * W + x];
}

// ---------------------------------------------------------------------------------------------
// The engine
// ---------------------------------------------------------------------------------------------

namespace {

// Timing events belong to the library; the first live engine creates them and the last destroys them.
// Engines may be made and destroyed on different threads, so the count and the events change under a lock.
cudaEvent_t* Start_Event = nullptr;
cudaEvent_t* Stop_Event = nullptr;
int Engines_Holding_Events = 0;
std::mutex Events_Mutex;

constexpr int Block_Side = 32;
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

cudaEvent_t Event_In(const cudaEvent_t* Cell)
{
    return Cell ? *Cell : nullptr;
}

void Create_Event(cudaEvent_t*& Cell, int Line)
{
    Cell = new (std::nothrow) cudaEvent_t();
    if (Cell)
        Report_Cuda_Error(cudaEventCreate(Cell), __FILE__, Line);
}

void Destroy_Event(cudaEvent_t*& Cell, int Line)
{
    if (!Cell)
        return;
    Report_Cuda_Error(cudaEventDestroy(*Cell), __FILE__, Line);
    delete Cell;
    Cell = nullptr;
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
bool Kernels_Run_On_This_Device()
{
    cudaFuncAttributes Attributes;
    if (cudaFuncGetAttributes(&Attributes, JuliaKernel) == cudaSuccess)
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

    REPORT(cudaEventRecord(Event_In(Start_Event), 0));
    LAUNCH_KERNEL(JuliaMandelInitialize, Grid, Block, Engine.Dev_Grid, Engine.X_Min, Engine.X_Max, Engine.Y_Min,
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
    LAUNCH_KERNEL(ApplyColorMap, Grid, Block, Engine.Dev_Iterations, Engine.Dev_Colormap,
                  reinterpret_cast<unsigned char*>(Engine.Dev_Grid), Engine.Width, Engine.Height);
    REPORT(cudaGetLastError());
    // A picture that did not arrive is shown black, never what the host buffer held before.
    if (cudaMemcpy(Engine.Host_Image, Engine.Dev_Grid, Pixels * 4, cudaMemcpyDeviceToHost) != cudaSuccess)
        std::memset(Engine.Host_Image, 0, Pixels * 4);
    REPORT(cudaGetLastError());

    REPORT(cudaEventRecord(Event_In(Stop_Event), 0));
    REPORT(cudaEventSynchronize(Event_In(Stop_Event)));
    REPORT(cudaEventElapsedTime(&Engine.Elapsed_Time, Event_In(Start_Event), Event_In(Stop_Event)));
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

    {
        const std::lock_guard<std::mutex> Lock(Events_Mutex);
        if (Engines_Holding_Events++ == 0) {
            Create_Event(Start_Event, __LINE__);
            Create_Event(Stop_Event, __LINE__);
        }
    }

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
    // Only an engine that found a device took part in creating the events.
    const std::lock_guard<std::mutex> Lock(Events_Mutex);
    if (GPU_Available && --Engines_Holding_Events == 0) {
        Destroy_Event(Start_Event, __LINE__);
        Destroy_Event(Stop_Event, __LINE__);
    }
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
