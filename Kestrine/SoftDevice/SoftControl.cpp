// Counters and fault injection of the software device, for tests only.
#include "DeviceState.h"
#include "LaneSets.h"

using Soft_Device::Device_State;
using Soft_Device::State;

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

bool Use_Lane_Set(Soft_Device::Lane_Set Set)
{
    return Soft_Device::Choose_Lane_Set(Set);
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
