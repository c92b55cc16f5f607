// Which engine a view is rendered with, and how many iterations it gets when they follow the depth.
#pragma once

#include <cstdint>

#include "FloatReach.h"
#include "PlaneView.h"

// The iterations a view Width wide needs for its detail to show rather than a flat interior: at least
// the user's own count, more as the view gets deeper.
std::int64_t Iterations_For_Depth(const Plane_View& View, std::int64_t Users_Count);
