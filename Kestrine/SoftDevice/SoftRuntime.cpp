// The runtime calls of the software device.
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
#include <unistd.h>
#endif

#include "SoftControl.h"
#include "WorkerPool.h"

struct CUevent_st {
    bool Recorded = false;
    std::chrono::steady_clock::time_point Time;
};

namespace Soft_Device {
namespace {

constexpr int Runtime_Version = CUDART_VERSION;
constexpr int Old_Driver_Version = CUDART_VERSION - 1000;
constexpr std::size_t Allocation_Alignment = 256; // what cudaMalloc guarantees

enum class Memory { Device, Page_Locked };

struct Allocation {
    std::size_t Bytes;
    Memory Kind;
};

// Everything the device knows, behind one lock: the runtime may be called from any host thread.
struct Device_State {
    std::mutex Mutex;
    std::map<std::uintptr_t, Allocation> Allocations;
    std::size_t Live_Bytes[2] = {0, 0};
    std::size_t Live_Count[2] = {0, 0};
    std::set<CUevent_st*> Events;
    std::map<std::string, Soft_Control::Launch_Record, std::less<>> Launches;
    std::uint64_t Host_To_Device_Copies = 0;
    std::uint64_t Runtime_Calls = 0;
    // Pixelwise launches waiting to run, all over one grid (SoftLaunch.h).
    std::vector<std::unique_ptr<Launch_Job>> Pending;
    dim3 Pending_Grid, Pending_Block;

    int Allocations_Until_Failure = 0; // 0: no failure armed
    cudaError_t Next_Copy_Error = cudaSuccess;
    bool Old_Driver = false;
    bool No_Device = false;
    bool No_Kernel_Image = false;
};

// The last error belongs to the host thread, as in the runtime.
thread_local cudaError_t Last_Error = cudaSuccess;

Device_State& State()
{
    static Device_State Device;
    return Device;
}

// Runs the launches that wait, before anything can see their memory. Called with the lock held.
void Run_Pending()
{
    Device_State& Device = State();
    if (Device.Pending.empty())
        return;
    if (!Worker_Pool::Instance().Run(Device.Pending, Device.Pending_Grid, Device.Pending_Block))
        Last_Error = cudaErrorLaunchFailure; // surfaces at the call that ran them, as on a GPU
    Device.Pending.clear();
}

// Every runtime call takes the lock through one of these, which first finishes the launches that
// wait (unless the call cannot observe device memory), and leaves its status as the last error.
enum class Sees_Memory { Yes, No };

class Call {
public:
    explicit Call(Sees_Memory Observes = Sees_Memory::Yes) : Lock(State().Mutex)
    {
        ++State().Runtime_Calls;
        if (Observes == Sees_Memory::Yes)
            Run_Pending();
    }
    cudaError_t Result(cudaError_t Status)
    {
        if (Status != cudaSuccess)
            Last_Error = Status;
        return Status;
    }

private:
    std::lock_guard<std::mutex> Lock;
};

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

bool Device_Missing()
{
    return State().No_Device || State().Old_Driver;
}

cudaError_t Device_Missing_Error()
{
    return State().Old_Driver ? cudaErrorInsufficientDriver : cudaErrorNoDevice;
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
    const std::size_t Rounded = (Bytes + Allocation_Alignment - 1) / Allocation_Alignment * Allocation_Alignment;
    void* Memory_Block = std::aligned_alloc(Allocation_Alignment, Rounded);
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

bool Valid_Configuration(dim3 Grid, dim3 Block)
{
    const std::uint64_t Threads = std::uint64_t(Block.x) * Block.y * Block.z;
    return Block.x >= 1 && Block.y >= 1 && Block.z >= 1 && Block.x <= 1024 && Block.y <= 1024 && Block.z <= 64 &&
           Threads <= 1024 && Grid.x >= 1 && Grid.y >= 1 && Grid.z >= 1 && Grid.x <= 2147483647u &&
           Grid.y <= 65535 && Grid.z <= 65535;
}

bool Same(dim3 a, dim3 b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool Known_Event(cudaEvent_t Event)
{
    return Event && State().Events.count(Event) != 0;
}

} // namespace

void Launch(const char* Kernel_Name, dim3 Grid, dim3 Block, Launch_Order Order, std::unique_ptr<Launch_Job> Job) noexcept
{
    // At most this many pixelwise launches wait, so that a render of millions of launches stays small.
    constexpr std::size_t Pending_Limit = 64;
    std::vector<std::unique_ptr<Launch_Job>> Now;
    try {
        Call Launch_Call(Order == Launch_Order::Pixelwise ? Sees_Memory::No : Sees_Memory::Yes);
        Device_State& Device = State();
        if (!Job) {
            Launch_Call.Result(cudaErrorMemoryAllocation);
            return;
        }
        if (Device_Missing()) {
            Launch_Call.Result(Device_Missing_Error());
            return;
        }
        if (Device.No_Kernel_Image) {
            Launch_Call.Result(cudaErrorNoKernelImageForDevice);
            return;
        }
        if (!Valid_Configuration(Grid, Block)) {
            Launch_Call.Result(cudaErrorInvalidConfiguration);
            return;
        }
        auto It = Device.Launches.find(std::string_view(Kernel_Name));
        if (It == Device.Launches.end())
            It = Device.Launches.emplace(Kernel_Name, Soft_Control::Launch_Record{}).first;
        ++It->second.Count;
        It->second.Last_Grid = Grid;
        It->second.Last_Block = Block;
        if (Order == Launch_Order::Pixelwise) {
            if (!Device.Pending.empty() && (!Same(Grid, Device.Pending_Grid) || !Same(Block, Device.Pending_Block)))
                Run_Pending();
            Device.Pending.push_back(std::move(Job));
            Device.Pending_Grid = Grid;
            Device.Pending_Block = Block;
            if (Device.Pending.size() < Pending_Limit)
                return;
            Now.swap(Device.Pending);
        } else {
            Now.push_back(std::move(Job));
        }
    } catch (const std::bad_alloc&) {
        Last_Error = cudaErrorMemoryAllocation;
        return;
    }
    // Outside the lock: a kernel touches only the memory it was given.
    if (!Worker_Pool::Instance().Run(Now, Grid, Block))
        Last_Error = cudaErrorLaunchFailure;
}

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
    std::snprintf(prop->name, sizeof(prop->name), "Software device: %s (%u threads)", Processor_Name().c_str(),
                  Worker_Pool::Instance().Thread_Count());
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

cudaError_t cudaDeviceSynchronize()
{
    Call Api;
    return Device_Missing() ? Api.Result(Device_Missing_Error()) : cudaSuccess;
}

cudaError_t cudaEventCreate(cudaEvent_t* event)
{
    Call Api;
    if (!event)
        return Api.Result(cudaErrorInvalidValue);
    if (Device_Missing())
        return Api.Result(Device_Missing_Error());
    CUevent_st* Event = new (std::nothrow) CUevent_st();
    if (!Event)
        return Api.Result(cudaErrorMemoryAllocation);
    try {
        State().Events.insert(Event);
    } catch (const std::bad_alloc&) {
        delete Event;
        return Api.Result(cudaErrorMemoryAllocation);
    }
    *event = Event;
    return cudaSuccess;
}

cudaError_t cudaEventRecord(cudaEvent_t event, cudaStream_t stream)
{
    Call Api;
    if (!Known_Event(event) || stream != nullptr)
        return Api.Result(cudaErrorInvalidResourceHandle);
    // Launches finish before they return, so the default stream is idle whenever an event is recorded.
    event->Recorded = true;
    event->Time = std::chrono::steady_clock::now();
    return cudaSuccess;
}

cudaError_t cudaEventSynchronize(cudaEvent_t event)
{
    Call Api;
    return Known_Event(event) ? cudaSuccess : Api.Result(cudaErrorInvalidResourceHandle);
}

cudaError_t cudaEventElapsedTime(float* ms, cudaEvent_t start, cudaEvent_t end)
{
    Call Api;
    if (!ms)
        return Api.Result(cudaErrorInvalidValue);
    if (!Known_Event(start) || !Known_Event(end) || !start->Recorded || !end->Recorded)
        return Api.Result(cudaErrorInvalidResourceHandle);
    *ms = std::chrono::duration<float, std::milli>(end->Time - start->Time).count();
    return cudaSuccess;
}

cudaError_t cudaEventDestroy(cudaEvent_t event)
{
    Call Api;
    if (!Known_Event(event))
        return Api.Result(cudaErrorInvalidResourceHandle);
    State().Events.erase(event);
    delete event;
    return cudaSuccess;
}

cudaError_t cudaFuncGetAttributes(cudaFuncAttributes* attr, const void* func)
{
    Call Api(Sees_Memory::No);
    if (!attr || !func)
        return Api.Result(cudaErrorInvalidValue);
    if (Device_Missing())
        return Api.Result(Device_Missing_Error());
    if (State().No_Kernel_Image)
        return Api.Result(cudaErrorNoKernelImageForDevice);
    *attr = cudaFuncAttributes{1024, 0, 0, 0};
    return cudaSuccess;
}

cudaError_t cudaGetLastError()
{
    Call Api(Sees_Memory::No);
    const cudaError_t Last = Last_Error;
    Last_Error = cudaSuccess;
    return Last;
}

cudaError_t cudaPeekAtLastError()
{
    Call Api(Sees_Memory::No);
    return Last_Error;
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

// ---------------------------------------------------------------------------------------------
// Test control
// ---------------------------------------------------------------------------------------------

namespace Soft_Control {

namespace {
template <typename Access>
auto With_State(Access Use)
{
    std::lock_guard<std::mutex> Lock(State().Mutex);
    return Use(State());
}
} // namespace

std::size_t Live_Device_Allocations()
{
    return With_State([](Device_State& S) { return S.Live_Count[0]; });
}

std::size_t Live_Device_Bytes()
{
    return With_State([](Device_State& S) { return S.Live_Bytes[0]; });
}

std::size_t Live_Host_Allocations()
{
    return With_State([](Device_State& S) { return S.Live_Count[1]; });
}

std::size_t Live_Host_Bytes()
{
    return With_State([](Device_State& S) { return S.Live_Bytes[1]; });
}

std::size_t Live_Events()
{
    return With_State([](Device_State& S) { return S.Events.size(); });
}

std::uint64_t Host_To_Device_Copies()
{
    return With_State([](Device_State& S) { return S.Host_To_Device_Copies; });
}

Launch_Record Launches(const std::string& Kernel_Name)
{
    return With_State([&](Device_State& S) {
        const auto It = S.Launches.find(Kernel_Name);
        return It == S.Launches.end() ? Launch_Record{} : It->second;
    });
}

std::uint64_t Runtime_Calls()
{
    return With_State([](Device_State& S) { return S.Runtime_Calls; });
}

void Fail_Allocation(int Nth)
{
    With_State([&](Device_State& S) { S.Allocations_Until_Failure = Nth; });
}

void Fail_Next_Copy(cudaError_t Error)
{
    With_State([&](Device_State& S) { S.Next_Copy_Error = Error; });
}

void Report_Old_Driver(bool Old)
{
    With_State([&](Device_State& S) { S.Old_Driver = Old; });
}

void Report_No_Device(bool None)
{
    With_State([&](Device_State& S) { S.No_Device = None; });
}

void Report_No_Kernel_Image(bool None)
{
    With_State([&](Device_State& S) { S.No_Kernel_Image = None; });
}

void Reset_Faults()
{
    With_State([](Device_State& S) {
        S.Allocations_Until_Failure = 0;
        S.Next_Copy_Error = cudaSuccess;
        S.Old_Driver = false;
        S.No_Device = false;
        S.No_Kernel_Image = false;
    });
}

} // namespace Soft_Control
