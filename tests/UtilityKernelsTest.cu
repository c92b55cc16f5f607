// The array-kernel tests compiled by nvcc, so that their launches go to the GPU.
#include "UtilityKernelsTest.cpp"
