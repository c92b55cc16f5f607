// The runtime calls of the software device: versions, the device, memory and errors (the default
// stream's calls are in SoftStream.cpp).
//
// Device memory is host memory that the device keeps in a table of its allocations, so that every
// pointer handed to a call can be checked as the GPU would check it: a host pointer given as a
// device pointer, a copy in the wrong direction or a free of a pointer never handed out is refused
// with the runtime's own error.
#include "cuda_runtime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#if defined(__unix__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "DeviceState.h"
#include "GridRun.h"
#include "LaneSets.h"
#include "WorkerPool.h"

namespace Soft_Device {

Device_State& State()
{
    static Device_State Device;
    return Device;
}

cudaError_t& Last_Error()
{
    // The last error belongs to the host thread, as in the runtime.
    thread_local cudaError_t Error = cudaSuccess;
    return Error;
}

bool Device_Missing()
{
    return State().No_Device || State().Old_Driver;
}

cudaError_t Device_Missing_Error()
{
    return State().Old_Driver ? cudaErrorInsufficientDriver : cudaErrorNoDevice;
}

void Run_Pending()
{
    Device_State& Device = State();
    if (Device.Pending.empty())
        return;
    if (!Run_Grid(Device.Pending, Device.Pending_Grid, Device.Pending_Block))
        Last_Error() = cudaErrorLaunchFailure; // surfaces at the call that ran them, as on a GPU
    Device.Pending.clear();
}

namespace {

constexpr int Runtime_Version = CUDART_VERSION;
constexpr int Old_Driver_Version = CUDART_VERSION - 1000;
constexpr std::size_t Allocation_Alignment = 256; // what cudaMalloc guarantees

std::size_t Physical_Memory()
{
#if defined(__unix__)
    const long Pages = sysconf(_SC_PHYS_PAGES);
    const long Page_Size = sysconf(_SC_PAGE_SIZE);
    if (Pages > 0 && Page_Size > 0)
        return static_cast<std::size_t>(Pages) * static_cast<std::size_t>(Page_Size);
#endif
    return std::size_t(4) << 30;
}

// The device's memory: half of the machine's, so that an oversized request fails as on a GPU
// instead of driving the host into swap or the out-of-memory killer.
std::size_t Device_Capacity()
{
    static const std::size_t Capacity = Physical_Memory() / 2;
    return Capacity;
}

// The CPU's model name, read once; "CPU" where it cannot be read. Never throws.
const std::string& Processor_Name() noexcept
{
    static const std::string Name = []() -> std::string {
        try {
            std::ifstream Cpu_Info("/proc/cpuinfo");
            std::string Line;
            while (std::getline(Cpu_Info, Line)) {
                const std::size_t Colon = Line.find(':');
                if (Line.rfind("model name", 0) == 0 && Colon != std::string::npos && Colon + 2 <= Line.size())
                    return Line.substr(Colon + 2);
            }
        } catch (...) {
        }
        return "CPU";
    }();
    return Name;
}

// The allocation that holds [Pointer, Pointer + Bytes), if any.
const Allocation* Find_Allocation(const void* Pointer, std::size_t Bytes)
{
    const auto Address = reinterpret_cast<std::uintptr_t>(Pointer);
    auto It = State().Allocations.upper_bound(Address);
    if (It == State().Allocations.begin())
        return nullptr;
    --It;
    const std::uintptr_t Offset = Address - It->first;
    if (Offset > It->second.Bytes || Bytes > It->second.Bytes - Offset)
        return nullptr;
    return &It->second;
}

bool Is_Device(const void* Pointer, std::size_t Bytes)
{
    const Allocation* Found = Find_Allocation(Pointer, Bytes);
    return Found && Found->Kind == Memory::Device;
}

// Host memory is anything the device did not hand out as device memory; in page-locked memory that it
// handed out, Bytes from Pointer must stay inside the allocation.
bool Is_Host(const void* Pointer, std::size_t Bytes)
{
    const Allocation* Found = Find_Allocation(Pointer, 0);
    if (!Found)
        return true;
    return Found->Kind == Memory::Page_Locked && Find_Allocation(Pointer, Bytes) == Found;
}

// A block of at least Bytes. Large ones are aligned to the CPU's large pages and asked to be backed by
// them: the first touch of a fresh page costs a fault, and a render's buffers of a hundred megabytes in
// small pages cost tens of thousands, which can take longer than the render itself.
void* Fresh_Block(std::size_t Bytes)
{
    constexpr std::size_t Large_Page = std::size_t{1} << 21;
    if (Bytes < Large_Page) {
        const std::size_t Rounded = (Bytes + Allocation_Alignment - 1) / Allocation_Alignment * Allocation_Alignment;
        return std::aligned_alloc(Allocation_Alignment, Rounded);
    }
    const std::size_t Rounded = (Bytes + Large_Page - 1) / Large_Page * Large_Page;
    void* Block = std::aligned_alloc(Large_Page, Rounded);
#if defined(MADV_HUGEPAGE)
    if (Block)
        madvise(Block, Rounded, MADV_HUGEPAGE); // advice only: small pages serve as well, just slower
#endif
    return Block;
}

cudaError_t Allocate(void** Pointer, std::size_t Bytes, Memory Kind)
{
    if (!Pointer)
        return cudaErrorInvalidValue;
    if (Device_Missing())
        return Device_Missing_Error();
    *Pointer = nullptr;
    Device_State& Device = State();
    if (Bytes == 0)
        return cudaSuccess; // the runtime hands out a null pointer for an empty request
    if (Device.Allocations_Until_Failure > 0 && --Device.Allocations_Until_Failure == 0)
        return cudaErrorMemoryAllocation;
    const std::size_t In_Use = Device.Live_Bytes[0] + Device.Live_Bytes[1];
    if (Bytes > Device_Capacity() - std::min(In_Use, Device_Capacity()))
        return cudaErrorMemoryAllocation;
    void* Memory_Block = Fresh_Block(Bytes);
    if (!Memory_Block)
        return cudaErrorMemoryAllocation;
    try {
        Device.Allocations.emplace(reinterpret_cast<std::uintptr_t>(Memory_Block), Allocation{Bytes, Kind});
    } catch (const std::bad_alloc&) {
        std::free(Memory_Block);
        return cudaErrorMemoryAllocation;
    }
    const int k = static_cast<int>(Kind);
    Device.Live_Bytes[k] += Bytes;
    ++Device.Live_Count[k];
    *Pointer = Memory_Block;
    return cudaSuccess;
}

cudaError_t Release(void* Pointer, Memory Kind)
{
    if (!Pointer)
        return cudaSuccess;
    Device_State& Device = State();
    const auto It = Device.Allocations.find(reinterpret_cast<std::uintptr_t>(Pointer));
    if (It == Device.Allocations.end() || It->second.Kind != Kind)
        return cudaErrorInvalidValue;
    const int k = static_cast<int>(Kind);
    Device.Live_Bytes[k] -= It->second.Bytes;
    --Device.Live_Count[k];
    Device.Allocations.erase(It);
    std::free(Pointer);
    return cudaSuccess;
}

bool Copy_Fits(const void* Dst, const void* Src, std::size_t Count, cudaMemcpyKind Kind)
{
    switch (Kind) {
    case cudaMemcpyHostToHost: return Is_Host(Dst, Count) && Is_Host(Src, Count);
    case cudaMemcpyHostToDevice: return Is_Device(Dst, Count) && Is_Host(Src, Count);
    case cudaMemcpyDeviceToHost: return Is_Host(Dst, Count) && Is_Device(Src, Count);
    case cudaMemcpyDeviceToDevice: return Is_Device(Dst, Count) && Is_Device(Src, Count);
    case cudaMemcpyDefault:
        return (Is_Host(Dst, Count) || Is_Device(Dst, Count)) && (Is_Host(Src, Count) || Is_Device(Src, Count));
    }
    return false;
}

} // namespace

} // namespace Soft_Device

using namespace Soft_Device;

cudaError_t cudaRuntimeGetVersion(int* runtimeVersion)
{
    Call Api;
    if (!runtimeVersion)
        return Api.Result(cudaErrorInvalidValue);
    *runtimeVersion = Runtime_Version;
    return cudaSuccess;
}

cudaError_t cudaDriverGetVersion(int* driverVersion)
{
    Call Api;
    if (!driverVersion)
        return Api.Result(cudaErrorInvalidValue);
    *driverVersion = State().Old_Driver ? Old_Driver_Version : Runtime_Version;
    return cudaSuccess;
}

cudaError_t cudaGetDeviceCount(int* count)
{
    Call Api;
    if (!count)
        return Api.Result(cudaErrorInvalidValue);
    *count = Device_Missing() ? 0 : 1;
    return Device_Missing() ? Api.Result(Device_Missing_Error()) : cudaSuccess;
}

cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device)
{
    Call Api;
    if (!prop)
        return Api.Result(cudaErrorInvalidValue);
    if (Device_Missing())
        return Api.Result(Device_Missing_Error());
    if (device != 0)
        return Api.Result(cudaErrorInvalidDevice);
    std::memset(prop, 0, sizeof(*prop));
    std::snprintf(prop->name, sizeof(prop->name), "Software device: %s (%u threads, %s)", Processor_Name().c_str(),
                  Worker_Pool::Instance().Thread_Count(), Lane_Set_Description(Active_Lane_Set()));
    prop->totalGlobalMem = Device_Capacity();
    prop->major = 0; // no CUDA architecture
    prop->minor = 0;
    prop->multiProcessorCount = static_cast<int>(Worker_Pool::Instance().Thread_Count());
    prop->maxThreadsPerBlock = 1024;
    prop->maxThreadsDim[0] = 1024;
    prop->maxThreadsDim[1] = 1024;
    prop->maxThreadsDim[2] = 64;
    prop->maxGridSize[0] = 2147483647;
    prop->maxGridSize[1] = 65535;
    prop->maxGridSize[2] = 65535;
    return cudaSuccess;
}

cudaError_t cudaMalloc(void** devPtr, std::size_t size)
{
    Call Api;
    return Api.Result(Allocate(devPtr, size, Memory::Device));
}

cudaError_t cudaHostAlloc(void** pHost, std::size_t size, unsigned int flags)
{
    Call Api;
    if ((flags & ~(cudaHostAllocPortable | cudaHostAllocMapped | cudaHostAllocWriteCombined)) != 0)
        return Api.Result(cudaErrorInvalidValue);
    return Api.Result(Allocate(pHost, size, Memory::Page_Locked));
}

cudaError_t cudaFree(void* devPtr)
{
    Call Api;
    return Api.Result(Release(devPtr, Memory::Device));
}

cudaError_t cudaFreeHost(void* ptr)
{
    Call Api;
    return Api.Result(Release(ptr, Memory::Page_Locked));
}

cudaError_t cudaMemcpy(void* dst, const void* src, std::size_t count, cudaMemcpyKind kind)
{
    Call Api;
    if (count == 0)
        return cudaSuccess;
    if (kind < cudaMemcpyHostToHost || kind > cudaMemcpyDefault)
        return Api.Result(cudaErrorInvalidMemcpyDirection);
    if (!dst || !src || !Copy_Fits(dst, src, count, kind))
        return Api.Result(cudaErrorInvalidValue);
    if (State().Next_Copy_Error != cudaSuccess) {
        const cudaError_t Injected = State().Next_Copy_Error;
        State().Next_Copy_Error = cudaSuccess;
        return Api.Result(Injected);
    }
    std::memmove(dst, src, count);
    if (kind == cudaMemcpyHostToDevice)
        ++State().Host_To_Device_Copies;
    return cudaSuccess;
}

cudaError_t cudaMemset(void* devPtr, int value, std::size_t count)
{
    Call Api;
    if (count == 0)
        return cudaSuccess;
    if (!devPtr || !Is_Device(devPtr, count))
        return Api.Result(cudaErrorInvalidValue);
    std::memset(devPtr, value, count);
    return cudaSuccess;
}

cudaError_t cudaGetLastError()
{
    Call Api(Sees_Memory::No);
    const cudaError_t Last = Last_Error();
    Last_Error() = cudaSuccess;
    return Last;
}

cudaError_t cudaPeekAtLastError()
{
    Call Api(Sees_Memory::No);
    return Last_Error();
}

const char* cudaGetErrorString(cudaError_t error)
{
    switch (error) {
    case cudaSuccess: return "no error";
    case cudaErrorInvalidValue: return "invalid argument";
    case cudaErrorMemoryAllocation: return "out of memory";
    case cudaErrorInitializationError: return "initialization error";
    case cudaErrorInvalidConfiguration: return "invalid configuration argument";
    case cudaErrorInvalidMemcpyDirection: return "invalid copy direction for memcpy";
    case cudaErrorInsufficientDriver: return "CUDA driver version is insufficient for CUDA runtime version";
    case cudaErrorNoDevice: return "no CUDA-capable device is detected";
    case cudaErrorInvalidDevice: return "invalid device ordinal";
    case cudaErrorNoKernelImageForDevice: return "no kernel image is available for execution on the device";
    case cudaErrorInvalidResourceHandle: return "invalid resource handle";
    case cudaErrorNotReady: return "device not ready";
    case cudaErrorLaunchFailure: return "unspecified launch failure";
    case cudaErrorUnknown: return "unknown error";
    }
    return "unrecognized error code";
}

