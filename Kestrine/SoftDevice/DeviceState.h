// The software device's state: what the runtime calls and the test control share. Private to the
// software device.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "LaunchRecord.h"
#include "cuda_runtime.h"

struct CUevent_st {
    bool Recorded = false;
    std::chrono::steady_clock::time_point Time;
};

namespace Soft_Device {

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

// The one device of the process (of each library that links the software device).
Device_State& State();

// This host thread's last error.
cudaError_t& Last_Error();

// Runs the launches that wait, before anything can see their memory. Called with the lock held.
void Run_Pending();

// No device, or a driver older than the runtime, as a fault made it; and the error either gives.
bool Device_Missing();
cudaError_t Device_Missing_Error();

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
            Last_Error() = Status;
        return Status;
    }

private:
    std::lock_guard<std::mutex> Lock;
};

} // namespace Soft_Device
