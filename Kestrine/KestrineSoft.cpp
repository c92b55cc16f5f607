// The software device's build of the engine: the very same source that nvcc compiles for a GPU,
// here compiled by the host compiler against this folder's stand-in for the CUDA runtime.
#include "Kestrine.cu"
