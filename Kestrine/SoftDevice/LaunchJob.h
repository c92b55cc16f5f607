// What the worker pool runs: a part of a launch's grid, and the launch that runs it.
#pragma once

#include "SoftTypes.h"

namespace Soft_Device {

// The blocks First.x to First.x + Count - 1 of one row of blocks of a launch's grid.
struct Block_Run {
    dim3 Grid;
    dim3 Block;
    uint3 First;
    unsigned Count;
};

// A launch, with its kernel and arguments, as the worker pool runs it.
class Launch_Job {
public:
    virtual ~Launch_Job() = default;
    virtual void Run_Blocks(const Block_Run& Run) const = 0;
};

} // namespace Soft_Device
