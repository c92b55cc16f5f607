// The CUDA types, qualifiers and error codes that kernels and the runtime share on the software device.
#pragma once

#include <cstddef>
#include <cstdint>

#define __global__
#define __device__
#define __host__
#define __forceinline__ inline __attribute__((always_inline))
#define __restrict__ __restrict
// A CPU has no register file to budget: the bound a kernel declares for a GPU means nothing here.
#define __launch_bounds__(...)

struct alignas(8) float2 {
    float x, y;
};

struct uint3 {
    unsigned int x, y, z;
};

struct dim3 {
    unsigned int x, y, z;
    constexpr dim3(unsigned int vx = 1, unsigned int vy = 1, unsigned int vz = 1) : x(vx), y(vy), z(vz) {}
};

inline float2 make_float2(float x, float y)
{
    return float2{x, y};
}

enum cudaError {
    cudaSuccess = 0,
    cudaErrorInvalidValue = 1,
    cudaErrorMemoryAllocation = 2,
    cudaErrorInitializationError = 3,
    cudaErrorInvalidConfiguration = 9,
    cudaErrorInvalidMemcpyDirection = 21,
    cudaErrorInsufficientDriver = 35,
    cudaErrorNoDevice = 100,
    cudaErrorInvalidDevice = 101,
    cudaErrorNoKernelImageForDevice = 209,
    cudaErrorInvalidResourceHandle = 400,
    cudaErrorNotReady = 600,
    cudaErrorLaunchFailure = 719,
    cudaErrorUnknown = 999,
};
typedef enum cudaError cudaError_t;
