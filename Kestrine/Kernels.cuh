// The library's kernels and the one way they are launched, on either device.
//
// Private to the library and its tests: nothing here is exported. The engine launches the escape-time
// and colour kernels (PixelKernels.cuh); the array kernels (ArrayKernels.cuh) ride along in the device
// module for whoever needs them.
#pragma once

#include <cuda_runtime.h>

// What ComplexToCustom extracts from each complex value.
enum ComplexOutput : int {
    REAL = 0,
    IMAGINARY = 1,
    MAGNITUDE = 2,
    PHASE = 3,
};

// The engine launches the pixel kernels in blocks of 32 x 32 threads. The bound tells the GPU compiler
// to fit a whole block in a multiprocessor's registers, so that code which would need more fails to
// build instead of every launch failing with "too many resources requested".
constexpr int Pixel_Block_Side = 32;
#define PIXEL_KERNEL __global__ void __launch_bounds__(Pixel_Block_Side * Pixel_Block_Side)

// Escape-time kernels.
PIXEL_KERNEL JuliaMandelInitialize(float2* Grid, float X_First, float X_Last, float Y_First, float Y_Last, int W, int H);
PIXEL_KERNEL JuliaKernel(float2* Grid, float2 C, int* Iterations, float Threshold, int Steps, int W, int H);
PIXEL_KERNEL MandelBrotKernel(float2* Grid, float* Z_Real, float* Z_Imag, int* Iterations, float Threshold, int Steps,
                              int W, int H);

// Colour pass: iteration counts to RGBA through a 256-entry table.
PIXEL_KERNEL ApplyColorMap(int* __restrict__ Iterations, unsigned char* __restrict__ Colormap,
                           unsigned char* __restrict__ Image, int W, int H);

// Array kernels for two-dimensional images of real and complex values (column x, row y, element
// y * W + x unless a kernel says otherwise).
__global__ void IntToFloat(int* In, float* Out, int W, int H);
__global__ void IntToComplex(int* In, float2* Out, int W, int H);
__global__ void ComplexToReal(float2* In, float* Out, int W, int H);
__global__ void ComplexMultiply(float2* A, float2* B, int W, int H);
__global__ void DeployKernel(float* In, float2* Out, int Pad_X, int Pad_Y, int W, int H);
__global__ void CropImage(float2* In, float2* Out, int Crop_W, int Crop_H, int Offset_X, int Offset_Y);
__global__ void CropImage(float* In, float* Out, int Crop_W, int Crop_H, int Offset_X, int Offset_Y);
__global__ void Col2Row(float* In, float* Out, int W, int H);
__global__ void Row2Col(float* In, float* Out, int W, int H);
__global__ void ComplexToCustom(float2* In, float* Out, ComplexOutput Mode, int W, int H);
__global__ void ComplexToCustom(float* In_Real, float* In_Imag, float* Out, ComplexOutput Mode, int W, int H);
__global__ void ShiftRows2D(float2* In, float2* Out, int W, int H, int Shift_X, int Shift_Y, int Direction);
__global__ void ShiftCols2D(float2* In, float2* Out, int W, int H, int Shift_X, int Shift_Y, int Direction);

// Launches Kernel on the default stream. A configuration that the runtime refuses runs nothing and
// leaves its error for cudaGetLastError, on both devices.
//
// LAUNCH_LANE_KERNEL launches a pixel kernel, written against PixelLanes: the software device runs it
// in the lane set chosen for the CPU (Pixel_Kernels below). LAUNCH_PIXELWISE_KERNEL launches one whose
// every thread also reads and writes only its own pixel's elements, which lets the software device
// run consecutive such launches block by block (SoftLaunch.h). The colour pass is not one of those:
// it writes each pixel's colour over the point of another (4 of the 8 bytes of element i / 2). A GPU
// launches every kernel the same way.
#if defined(__CUDACC__)
#define LAUNCH_KERNEL(Kernel, Grid, Block, ...) Kernel<<<(Grid), (Block)>>>(__VA_ARGS__)
#define LAUNCH_LANE_KERNEL(Kernel, Grid, Block, ...) Kernel<<<(Grid), (Block)>>>(__VA_ARGS__)
#define LAUNCH_PIXELWISE_KERNEL(Kernel, Grid, Block, ...) Kernel<<<(Grid), (Block)>>>(__VA_ARGS__)
#else
// One lane set's block runners of the pixel kernels, named after the kernels (PixelKernelLanes.cpp).
struct Pixel_Kernel_Table {
    Soft_Device::Runner_Of<decltype(::JuliaMandelInitialize)>::Type JuliaMandelInitialize;
    Soft_Device::Runner_Of<decltype(::JuliaKernel)>::Type JuliaKernel;
    Soft_Device::Runner_Of<decltype(::MandelBrotKernel)>::Type MandelBrotKernel;
    Soft_Device::Runner_Of<decltype(::ApplyColorMap)>::Type ApplyColorMap;
};

// The table of the lane set that this CPU runs (SoftDevice/LaneSets.h).
const Pixel_Kernel_Table& Pixel_Kernels();

#define LAUNCH_KERNEL(Kernel, Grid, Block, ...)                                                                        \
    Soft_Device::Launch_Kernel(#Kernel, (Grid), (Block), [](auto... Arguments) { Kernel(Arguments...); }, __VA_ARGS__)
#define SOFT_LAUNCH_LANES(Order, Kernel, Grid, Block, ...)                                                             \
    Soft_Device::Launch_Lanes(#Kernel, (Grid), (Block), Soft_Device::Launch_Order::Order, Pixel_Kernels().Kernel,       \
                              __VA_ARGS__)
#define LAUNCH_LANE_KERNEL(Kernel, Grid, Block, ...) SOFT_LAUNCH_LANES(Now, Kernel, Grid, Block, __VA_ARGS__)
#define LAUNCH_PIXELWISE_KERNEL(Kernel, Grid, Block, ...) SOFT_LAUNCH_LANES(Pixelwise, Kernel, Grid, Block, __VA_ARGS__)
#endif
