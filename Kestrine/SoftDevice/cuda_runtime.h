// The software device: the part of the CUDA runtime that Kestrine uses, served by the CPU.
//
// Kestrine.cu compiled by the host compiler finds this header instead of the toolkit's. Names,
// signatures, error codes and error texts follow the CUDA runtime for every case the engine can
// meet, so the engine cannot tell the difference. Kernels run on a pool of worker threads, one per
// core; a launch returns when every block has run, which is what the default stream's ordering
// guarantees on a GPU as well.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "SoftTypes.h"

#define CUDART_VERSION 13000
#define cudaHostAllocDefault 0x00u
#define cudaHostAllocPortable 0x01u
#define cudaHostAllocMapped 0x02u
#define cudaHostAllocWriteCombined 0x04u

enum cudaMemcpyKind {
    cudaMemcpyHostToHost = 0,
    cudaMemcpyHostToDevice = 1,
    cudaMemcpyDeviceToHost = 2,
    cudaMemcpyDeviceToDevice = 3,
    cudaMemcpyDefault = 4,
};

typedef struct CUevent_st* cudaEvent_t;
typedef struct CUstream_st* cudaStream_t;

// The fields the engine and its tools read; the rest of the runtime's record is of no use here.
struct cudaDeviceProp {
    char name[256];
    std::size_t totalGlobalMem;
    int major;
    int minor;
    int multiProcessorCount;
    int clockRate;
    int maxThreadsPerBlock;
    int maxThreadsDim[3];
    int maxGridSize[3];
};

cudaError_t cudaRuntimeGetVersion(int* runtimeVersion);
cudaError_t cudaDriverGetVersion(int* driverVersion);
cudaError_t cudaGetDeviceCount(int* count);
cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device);

cudaError_t cudaMalloc(void** devPtr, std::size_t size);
cudaError_t cudaHostAlloc(void** pHost, std::size_t size, unsigned int flags);
cudaError_t cudaFree(void* devPtr);
cudaError_t cudaFreeHost(void* ptr);
cudaError_t cudaMemcpy(void* dst, const void* src, std::size_t count, cudaMemcpyKind kind);
cudaError_t cudaMemset(void* devPtr, int value, std::size_t count);
cudaError_t cudaDeviceSynchronize();

cudaError_t cudaEventCreate(cudaEvent_t* event);
cudaError_t cudaEventRecord(cudaEvent_t event, cudaStream_t stream = nullptr);
cudaError_t cudaEventSynchronize(cudaEvent_t event);
cudaError_t cudaEventElapsedTime(float* ms, cudaEvent_t start, cudaEvent_t end);
cudaError_t cudaEventDestroy(cudaEvent_t event);

// What the engine asks of a kernel: only whether the device has an image of it to run.
struct cudaFuncAttributes {
    int maxThreadsPerBlock;
    int numRegs;
    int binaryVersion;
    int ptxVersion;
};
cudaError_t cudaFuncGetAttributes(cudaFuncAttributes* attr, const void* func);
template <typename Kernel>
cudaError_t cudaFuncGetAttributes(cudaFuncAttributes* attr, Kernel* entry)
{
    return cudaFuncGetAttributes(attr, reinterpret_cast<const void*>(entry));
}

cudaError_t cudaGetLastError();
cudaError_t cudaPeekAtLastError();
const char* cudaGetErrorString(cudaError_t error);

// Typed conveniences of the runtime's C++ interface.
template <typename T>
cudaError_t cudaMalloc(T** devPtr, std::size_t size)
{
    return cudaMalloc(reinterpret_cast<void**>(devPtr), size);
}

template <typename T>
cudaError_t cudaHostAlloc(T** pHost, std::size_t size, unsigned int flags)
{
    return cudaHostAlloc(reinterpret_cast<void**>(pHost), size, flags);
}

#include "SoftLaunch.h"
