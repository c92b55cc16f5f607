// Counters and fault injection of the software device, for tests only.
//
// A driver offers none of this; the engine never includes it. Faults stay armed until they fire or
// Reset_Faults is called; counters run for the life of the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <cuda_runtime.h>

#include "LaneSets.h"
#include "LaunchRecord.h"

namespace Soft_Control {

// Allocations alive now, device memory and page-locked host memory separately.
std::size_t Live_Device_Allocations();
std::size_t Live_Device_Bytes();
std::size_t Live_Host_Allocations();
std::size_t Live_Host_Bytes();

// Events created and not yet destroyed.
std::size_t Live_Events();

// Completed host-to-device copies since the process started.
std::uint64_t Host_To_Device_Copies();

// Runs of one kernel (refused configurations do not count), by the kernel's name.
Launch_Record Launches(const std::string& Kernel_Name);

// Runtime calls of any kind since the process started.
std::uint64_t Runtime_Calls();

// The Nth allocation from now (1: the next one), device or page-locked, fails with "out of memory".
void Fail_Allocation(int Nth);
// The next cudaMemcpy fails with this error and copies nothing.
void Fail_Next_Copy(cudaError_t Error);
// The driver reports a CUDA version older than the runtime's.
void Report_Old_Driver(bool Old);
// No device is found.
void Report_No_Device(bool None);
// The device has no image of the library's kernels ("no kernel image for this device").
void Report_No_Kernel_Image(bool None);
// Runs the lane kernels in this set from now on; false (and no change) if it does not run here. The
// device's name says which set runs when an engine reads it.
bool Use_Lane_Set(Soft_Device::Lane_Set Set);
// Disarms every fault above.
void Reset_Faults();

} // namespace Soft_Control
