// The array kernels: no engine operation launches them; they ride along in the library's one device
// module (Kestrine.cu includes this file), one thread an element on both devices.
#pragma once

#include "Kernels.cuh"

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
