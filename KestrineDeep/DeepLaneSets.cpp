// The deep lane kernels of the lane set this CPU runs (SoftDevice/LaneSets.h). Compiled for the baseline.
#include "DeepLaneSets.h"

#define LANE_TABLE_TYPE Kestrine_Deep::Deep_Lane_Kernels
#define LANE_TABLE_NAME Deep_Lane_Kernels_Of_Set
#include <LaneTableChoice.h>

namespace Kestrine_Deep {

const Deep_Lane_Kernels& Deep_Lane_Kernels_Here()
{
    return Active_Lane_Table();
}

} // namespace Kestrine_Deep
