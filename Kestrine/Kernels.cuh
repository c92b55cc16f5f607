// The library's kernels and the one way they are launched, on either device.
//
// Private to the library and its tests: nothing here is exported. The engine launches the escape-time
// and colour kernels; the array kernels ride along in the device module for whoever needs them.
#pragma once

#include <cuda_runtime.h>

#include "PixelLanes.cuh"

// What ComplexToCustom extracts from each complex value.
enum ComplexOutput : int {
    REAL = 0,
    IMAGINARY = 1,
    MAGNITUDE = 2,
    PHASE = 3,
};

// Escape-time kernels.
__global__ void JuliaMandelInitialize(float2* Grid, float X_First, float X_Last, float Y_First, float Y_Last, int W, int H);
__global__ void JuliaKernel(float2* Grid, float2 C, int* Iterations, float Threshold, int Steps, int W, int H);
__global__ void MandelBrotKernel(float2* Grid, float* Z_Real, float* Z_Imag, int* Iterations, float Threshold,
                                 int Steps, int W, int H);

// Colour pass: iteration counts to RGBA through a 256-entry table.
__global__ void ApplyColorMap(int* Iterations, unsigned char* Colormap, unsigned char* Image, int W, int H);

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
// leaves its error for cudaGetLastError, on both devices. LAUNCH_PIXELWISE_KERNEL says that every
// thread of Kernel reads and writes only its own pixel's elements, which lets the software device run
// consecutive such launches block by block (SoftLaunch.h); a GPU launches both the same way.
#if defined(__CUDACC__)
#define LAUNCH_KERNEL(Kernel, Grid, Block, ...) Kernel<<<(Grid), (Block)>>>(__VA_ARGS__)
#define LAUNCH_PIXELWISE_KERNEL(Kernel, Grid, Block, ...) Kernel<<<(Grid), (Block)>>>(__VA_ARGS__)
#else
#define SOFT_LAUNCH(Order, Kernel, Grid, Block, ...)                                                                   \
    Soft_Device::Launch_Kernel(#Kernel, (Grid), (Block), Order, [](auto... Arguments) { Kernel(Arguments...); },     \
                               __VA_ARGS__)
#define LAUNCH_KERNEL(Kernel, Grid, Block, ...)                                                                        \
    SOFT_LAUNCH(Soft_Device::Launch_Order::Now, Kernel, Grid, Block, __VA_ARGS__)
#define LAUNCH_PIXELWISE_KERNEL(Kernel, Grid, Block, ...)                                                              \
    SOFT_LAUNCH(Soft_Device::Launch_Order::Pixelwise, Kernel, Grid, Block, __VA_ARGS__)
#endif
