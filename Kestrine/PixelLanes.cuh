// The pixels that one call of an image kernel works on, and the value types it computes with.
//
// On a GPU every thread takes its own pixel and the lane types are plain float, int and bool. The
// software device gives one call a run of pixels held in SIMD vectors instead (SoftDevice/SoftLanes.h);
// the kernels are written once against this interface and read the same on both devices.
#pragma once

#if defined(__CUDACC__)

// The iteration loops are unrolled by four, with a remainder loop.
#define UNROLL_BY_4 _Pragma("unroll 4")

using LaneFloat = float;
using LaneInt = int;
using LaneMask = bool;

// A select, not a branch: every thread of a warp runs the same instructions.
template <typename T>
__device__ __forceinline__ T Select(bool Take_First, T First, T Second)
{
    return Take_First ? First : Second;
}

class PixelLanes {
public:
    __device__ __forceinline__ PixelLanes(int W, int H)
        : x(static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x)),
          y(static_cast<int>(blockIdx.y * blockDim.y + threadIdx.y)),
          Inside(x < W && y < H),
          Index(Inside ? y * W + x : 0)
    {
    }

    __device__ __forceinline__ bool Empty() const { return !Inside; }

    // The image column and row of this thread's pixel.
    __device__ __forceinline__ float Column() const { return static_cast<float>(x); }
    __device__ __forceinline__ float Row() const { return static_cast<float>(y); }

    __device__ __forceinline__ void Load(const float2* Buffer, float& Real, float& Imag) const
    {
        const float2 Value = Buffer[Index];
        Real = Value.x;
        Imag = Value.y;
    }

    template <typename T>
    __device__ __forceinline__ void Load(const T* Buffer, T& Value) const
    {
        Value = Buffer[Index];
    }

    __device__ __forceinline__ void Store(float2* Buffer, float Real, float Imag) const
    {
        Buffer[Index] = make_float2(Real, Imag);
    }

    template <typename T>
    __device__ __forceinline__ void Store(T* Buffer, T Value) const
    {
        Buffer[Index] = Value;
    }

private:
    int x;
    int y;
    bool Inside;
    int Index;
};

#else
// Each step already works on four independent vectors; unrolling further only spills registers.
#define UNROLL_BY_4
#include "SoftLanes.h"
#endif
