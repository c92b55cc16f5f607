// Bilinear approximation of runs of reference steps.
//
// Where a pixel's difference δ from the reference is small enough, 2^l steps of
//     δ(m+1) = 2 Z(m) δ(m) + δ(m)^2 + δc       (Julia: without δc)
// are one step δ(m + 2^l) = A δ(m) + B δc, exact to double rounding. The table holds, for every level
// l and every run of 2^l steps that starts at First_Step + i 2^l, the coefficients and the radius R
// below which |δ| may take the run.
//
// One step (l = 0): A = 2 Z(m), B = 1 (Julia 0); the dropped δ^2 is below Epsilon times the kept
// 2 Z(m) δ while |δ| < R = Epsilon |2 Z(m)|, with Epsilon = 2^-53, half a unit in the last place.
// Two runs, x then y: A = A_y A_x and B = A_y B_x + B_y; x holds while |δ| < R_x, and y holds on
// what x gives, |A_x δ + B_x δc| <= |A_x| |δ| + |B_x| |δc| < R_y, so for every pixel of the image
// (|δc| <= |δc|max) R = max(0, min(R_x, (R_y - |B_x| |δc|max) / |A_x|)). R never grows with the
// level, so the first level a pixel's |δ| fails ends its search.
//
// A run may not contain a step whose escape test could fail: a step is taken only where
// |Z(m+1)| + |δ(m+1)| stays below the escape radius by a margin that double rounding cannot cross
// (|δ(m+1)| <= |A| R + |B| |δc|max there); others get R = 0, and so does every run containing one.
#pragma once

#include "ReferenceOrbit.h"
#include "Scaled.h"

#include <atomic>
#include <vector>

namespace Kestrine_Deep {

struct Approximation_Step {
    Deep_Numbers::Scaled_Complex A, B;
    Deep_Numbers::Scaled_Real R;
};

constexpr int Max_Levels = 32;

struct Approximation_Table {
    std::vector<Approximation_Step> Steps; // level 0 first, then level 1, ...
    int Levels = 0;
    int First_Step = 0;                    // the reference index of level 0's first entry
    int Level_Offset[Max_Levels] = {};
    int Level_Size[Max_Levels] = {};
    Deep_Numbers::Scaled_Real Largest_Radius; // the largest R of a single step
};

// Mandelbrot's first step (from δ = 0 at Z(0) = 0) has A = 0 and cannot be taken; its table starts
// at step 1. Escape_Radius: the |z| below which a candidate is kept. Returns false, the table empty,
// when memory runs out or Cancelled is set: a reference of millions of steps takes seconds to table,
// longer than a cancelled render may keep running.
bool Build_Approximation_Table(const Reference_Orbit& Orbit, bool Mandelbrot, Deep_Numbers::Scaled_Real Delta_C_Max,
                               double Escape_Radius, const std::atomic<bool>& Cancelled, Approximation_Table& Table);

// Per reference index 0 to Length: (R 2^500)^2 for the radius R of the table's single step there, -1
// where none may be taken (the launch's Entry_Radius_Squared, which lanes compare in double).
std::vector<double> Entry_Radii_Squared(const Approximation_Table& Table, std::int64_t Length);

} // namespace Kestrine_Deep
