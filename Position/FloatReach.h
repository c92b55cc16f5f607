// How deep the float engine reaches: while a pixel is at least 8 single-precision steps of the centre
// wide. Fewer, and neighbouring pixels land on the same float, so that zooming further only enlarges
// them. The program and kestrine-render choose their engine by this one rule.
#pragma once

#include "PlaneView.h"

constexpr double Float_Steps_Per_Pixel = 8;

// The distance from |Value| to the next float up: the resolution of single precision there.
double Float_Step(float Value);

// Whether the float engine resolves the window on an image of Width x Height: also false unless its
// edges are finite floats with the maximum above the minimum. A single column or row has nothing to
// resolve along its axis.
bool Float_Resolves(const Float_Window& Window, int Width, int Height);
