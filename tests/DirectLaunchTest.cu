// The direct-launch tests compiled by nvcc, so that their launches go to the GPU.
#include "DirectLaunchTest.cpp"
