// The software device's lane kernels of the deep renderer, one table a lane set.
#pragma once

#include "DeepKernels.cuh"

#include <SoftLaunch.h>

namespace Kestrine_Deep {

// Each a Julia kernel and a Mandelbrot kernel.
struct Deep_Lane_Kernels {
    Soft_Device::Block_Runner<Deep_Launch> Double_View[2]; // views within double's range
    Soft_Device::Block_Runner<Deep_Launch> Scaled_View[2]; // views past it
};

// The table of the lane set that this CPU runs (or that a test chose).
const Deep_Lane_Kernels& Deep_Lane_Kernels_Here();

} // namespace Kestrine_Deep
