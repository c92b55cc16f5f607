// The deep renderer's lane kernel for one lane set of the software device, compiled once per set with
// the set's target flags and its namespace as KESTRINE_LANES, as the float engine's pixel kernels are.
// Everything it shares with the scalar walk is inlined into it, so no code compiled for one
// instruction set is left for the linker to merge with another set's.
#include "DeepLanes.cuh"

#include "DeepLaneSets.h"

namespace KESTRINE_LANES {

namespace {

template <auto Kernel>
void Run_Deep_Lane_Blocks(const Soft_Device::Block_Run& Run, Kestrine_Deep::Deep_Launch Launch)
{
    Soft_Device::Run_Threads<Lane_Count>([&] { Kernel(Launch); }, Run);
}

} // namespace

extern const Kestrine_Deep::Deep_Lane_Kernels Deep_Lane_Kernels_Of_Set;
const Kestrine_Deep::Deep_Lane_Kernels Deep_Lane_Kernels_Of_Set = {
    &Run_Deep_Lane_Blocks<&Deep_Double_Lanes_Kernel>,
};

} // namespace KESTRINE_LANES
