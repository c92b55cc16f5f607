// The software device's default stream: kernel launches, events and synchronisation.
//
// Launches run on the worker pool as they are made, except pixelwise ones, which wait (a bounded
// number of them) until a call could observe their work; events are taken when recorded, since by
// then every launch before them has run.
#include "DeviceState.h"
#include "GridRun.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace Soft_Device {

namespace {

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
        Last_Error() = cudaErrorMemoryAllocation;
        return;
    }
    // Outside the lock: a kernel touches only the memory it was given.
    if (!Run_Grid(Now, Grid, Block))
        Last_Error() = cudaErrorLaunchFailure;
}

} // namespace Soft_Device

using namespace Soft_Device;

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

