// The software device's lane kernels of the deep renderer, one table a lane set.
#pragma once

#include "DeepKernels.cuh"

#include <SoftLaunch.h>

namespace Kestrine_Deep {

struct Deep_Lane_Kernels {
    Soft_Device::Block_Runner<Deep_Launch> Double_Lanes;
};

// The table of the lane set that this CPU runs.
const Deep_Lane_Kernels& Deep_Lane_Kernels_Here();

} // namespace Kestrine_Deep
