// The pixel kernels of one lane set on the software device: compiled once per set, with the set's
// target flags and its namespace as KESTRINE_LANES (see CMakeLists.txt), and gathered in a table of
// block runners that PixelKernelSets.cpp chooses from. The table is constant data: nothing compiled
// here runs before its set is chosen for a CPU that has the instructions.
#include "PixelKernels.cuh"

namespace KESTRINE_LANES {

extern const Pixel_Kernel_Table Pixel_Kernels_Of_Set;
const Pixel_Kernel_Table Pixel_Kernels_Of_Set = {
    &Run_Lane_Blocks<&JuliaMandelInitialize>,
    &Run_Lane_Blocks<&JuliaKernel>,
    &Run_Lane_Blocks<&MandelBrotKernel>,
    &Run_Lane_Blocks<&ApplyColorMap>,
};

} // namespace KESTRINE_LANES
