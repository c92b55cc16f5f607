// A launch's grid cut into takes of whole blocks along x, and run on the worker pool.
#pragma once

#include <memory>
#include <vector>

#include "LaunchJob.h"

namespace Soft_Device {

// Runs every block of the grid for each job, the jobs in order for each block, and returns when all
// have run (true) or one failed (false).
bool Run_Grid(const std::vector<std::unique_ptr<Launch_Job>>& Jobs, dim3 Grid, dim3 Block);

} // namespace Soft_Device
