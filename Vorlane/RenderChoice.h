// Which engine a view is rendered with, and how many iterations it gets when they follow the depth.
#pragma once

#include <cstdint>

#include "PlaneView.h"

// The float engine resolves a window while a pixel is at least 8 single-precision steps of the centre
// wide (fewer, and neighbouring pixels land on the same float), and while its edges are finite floats
// with the maximum above the minimum.
bool Float_Resolves(const Float_Window& Window, int Width, int Height);

// The iterations a view Width wide needs for its detail to show rather than a flat interior: at least
// the user's own count, more as the view gets deeper.
std::int64_t Iterations_For_Depth(const Plane_View& View, std::int64_t Users_Count);
