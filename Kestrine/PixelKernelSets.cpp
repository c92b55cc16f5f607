// The pixel kernels of the lane set this CPU runs (SoftDevice/LaneSets.h). Compiled for the baseline.
#include "Kernels.cuh"

#define LANE_TABLE_TYPE Pixel_Kernel_Table
#define LANE_TABLE_NAME Pixel_Kernels_Of_Set
#include <LaneTableChoice.h>

const Pixel_Kernel_Table& Pixel_Kernels()
{
    return Active_Lane_Table();
}
