// The deep renderer's lane kernels for one lane set of the software device, compiled once per set with
// the set's target flags and its namespace as KESTRINE_LANES, as the float engine's pixel kernels are.
// Everything they share with the scalar walk is inlined into them, so that no code compiled for one
// instruction set is left for the linker to merge with another set's.
#include "DeepLanes.cuh"

#include "DeepLaneSets.h"

#include <algorithm>

namespace KESTRINE_LANES {

namespace {

// One call serves the slots of a whole run of blocks, so that its lanes have many pixels to take from
// and wait for the slowest only at the run's end.
template <bool Scaled, bool Mandelbrot>
void Run_Deep_Slots(const Soft_Device::Block_Run& Run, Kestrine_Deep::Deep_Launch Launch)
{
    const long long First = static_cast<long long>(Run.First.x) * Run.Block.x;
    const long long Last = std::min<long long>(First + static_cast<long long>(Run.Count) * Run.Block.x, Launch.Active_Count);
    if (First < Last)
        Advance_Slots<Scaled, Mandelbrot>(Launch, static_cast<int>(First), static_cast<int>(Last));
}

} // namespace

extern const Kestrine_Deep::Deep_Lane_Kernels Deep_Lane_Kernels_Of_Set;
const Kestrine_Deep::Deep_Lane_Kernels Deep_Lane_Kernels_Of_Set = {
    {&Run_Deep_Slots<false, false>, &Run_Deep_Slots<false, true>},
    {&Run_Deep_Slots<true, false>, &Run_Deep_Slots<true, true>},
};

} // namespace KESTRINE_LANES
