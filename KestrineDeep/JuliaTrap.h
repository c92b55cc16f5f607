// The attracting cycle of a Julia constant, found once on the host, as the deep kernels' Julia pictures
// use it to stop the orbits it has caught.
#pragma once

#include "ReferenceOrbit.h"

namespace Kestrine_Deep {

// Every orbit that comes within sqrt(Radius_Squared) of (Re, Im) stays near the cycle for ever, below
// the escape bound. Radius_Squared < 0 when there is no such point.
struct Julia_Trap {
    double Re = 0, Im = 0;
    double Radius_Squared = -1;
};

// The trap of z^2 + C for an escape test |z|^2 < Bound: about a point of C's attracting cycle, when C
// has one that the orbit of 0 finds within a hundred thousand steps.
Julia_Trap Find_Julia_Trap(Orbit_Point C, double Bound);

} // namespace Kestrine_Deep
