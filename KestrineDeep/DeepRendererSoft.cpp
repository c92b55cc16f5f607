// The software device's build of the deep renderer: the very source nvcc compiles for a GPU, compiled
// by the host compiler against the stand-in runtime.
#include "DeepRenderer.cu"
