// The pixel kernels: the escape-time kernels and the colour pass, written against PixelLanes.
//
// Part of the library's one device module: Kestrine.cu includes this file for a GPU. The software
// device compiles it once per lane set instead (PixelKernelLanes.cpp).
#pragma once

#include "Kernels.cuh"
#include "PixelLanes.cuh"

LANE_CODE_BEGIN

// ---------------------------------------------------------------------------------------------
// Escape-time kernels
// ---------------------------------------------------------------------------------------------

PIXEL_KERNEL JuliaMandelInitialize(float2* Grid, float X_First, float X_Last, float Y_First, float Y_Last, int W, int H)
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
PIXEL_KERNEL JuliaKernel(float2* Grid, float2 C, int* Iterations, float Threshold, int Steps, int W, int H)
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
PIXEL_KERNEL MandelBrotKernel(float2* Grid, float* Z_Real, float* Z_Imag, int* Iterations, float Threshold, int Steps,
                              int W, int H)
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
PIXEL_KERNEL ApplyColorMap(int* __restrict__ Iterations, unsigned char* __restrict__ Colormap,
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

LANE_CODE_END
