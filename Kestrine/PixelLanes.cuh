// The pixels that one call of an image kernel works on, the value types it computes with, and the
// loop that advances an orbit.
//
// On a GPU every thread takes its own pixel and the lane types are plain float, int and bool. The
// software device gives one call a run of pixels held in SIMD vectors instead (SoftDevice/SoftLanes.h);
// the kernels are written once against this interface and read the same on both devices.
//
// Lane code sits between LANE_CODE_BEGIN and LANE_CODE_END: nothing on a GPU, the namespace of the
// lane set being compiled on the software device, which compiles it once per set.
#pragma once

#if defined(__CUDACC__)

#define LANE_CODE_BEGIN
#define LANE_CODE_END

using LaneFloat = float;
using LaneInt = int;

// One rounding for a * b + c. The kernels say where they fuse and the build lets no compiler fuse
// anything else, so both devices round the recurrences the same way.
__device__ __forceinline__ float Fused_Multiply_Add(float a, float b, float c)
{
    return __fmaf_rn(a, b, c);
}

// sqrt(m) < t. The GPU takes its fast approximate square root as it is.
using Root_Threshold = float;
__device__ __forceinline__ Root_Threshold Threshold_For_Root(float Threshold)
{
    return Threshold;
}
__device__ __forceinline__ bool Root_Below(float Squared, Root_Threshold Threshold)
{
    return sqrtf(Squared) < Threshold;
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

// Up to Steps steps of one orbit: Next(Zr, Zi, Cr, Ci, A, B) puts the candidate in A and B and says whether
// it is kept. A refused step freezes the pixel for good (z stays, so every later step computes the
// same candidate and refuses it again), so the thread leaves at the first one; its warp runs only as
// long as its slowest pixel. Returns whether any step was kept, that is whether z changed; Kept_Steps
// (zero on entry) counts them.
//
// A z that comes back bit for bit after q kept steps comes back every q steps, each step kept: the
// R steps left are all kept and end R mod q steps on in the cycle. So the thread counts them at once
// and takes only those last steps. Checkpoints follow Brent's method (z saved after steps 0, 1, 3, 7,
// ..., compared with z after every step), so a cycle is found within about three times its period
// once the orbit is in it.
template <typename Step>
__device__ __forceinline__ bool Iterate_Orbit(const PixelLanes&, float& Zr, float& Zi, float Cr, float Ci,
                                              int& Kept_Steps, int Steps, Step Next)
{
    int Saved_Real = __float_as_int(Zr), Saved_Imag = __float_as_int(Zi);
    int Saved_At = 0, Window = 1;
#pragma unroll 4
    for (int i = 0; i < Steps; ++i) {
        float A, B;
        if (!Next(Zr, Zi, Cr, Ci, A, B))
            break;
        Zr = A;
        Zi = B;
        ++Kept_Steps;
        const int Done = i + 1;
        if (__float_as_int(Zr) == Saved_Real && __float_as_int(Zi) == Saved_Imag) {
            // No later step can match again before the end: the next match is a whole period on.
            const int Left = Steps - Done, Last = Left % (Done - Saved_At);
            Kept_Steps += Left - Last;
            Steps = Done + Last;
        } else if (Done - Saved_At == Window) {
            Saved_Real = __float_as_int(Zr);
            Saved_Imag = __float_as_int(Zi);
            Saved_At = Done;
            Window *= 2;
        }
    }
    return Kept_Steps != 0;
}

__device__ __forceinline__ int Minimum(int a, int b)
{
    return a < b ? a : b;
}

// Entry Entry of a table of 3-byte red, green, blue entries, as 0x00BBGGRR; read with byte loads.
__device__ __forceinline__ int Load_Rgb(const unsigned char* __restrict__ Table, int Entry)
{
    const unsigned char* Colour = Table + 3 * Entry;
    return Colour[0] | Colour[1] << 8 | Colour[2] << 16;
}

#else
#include "SoftOrbit.h"
#define LANE_CODE_BEGIN namespace KESTRINE_LANES {
#define LANE_CODE_END }
#endif
