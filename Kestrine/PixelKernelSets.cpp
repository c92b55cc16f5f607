// The pixel kernels of the lane set this CPU runs (SoftDevice/LaneSets.h). Compiled for the baseline.
#include "Kernels.cuh"

#include <LaneSets.h>

#define DECLARE_PIXEL_KERNELS(Set)                                                                                     \
    namespace Set {                                                                                                    \
    extern const Pixel_Kernel_Table Pixel_Kernels_Of_Set;                                                              \
    }

#if !defined(KESTRINE_LANES_NATIVE_ONLY)
DECLARE_PIXEL_KERNELS(Lanes_Portable)
#endif
#if defined(KESTRINE_LANES_AVX2_FMA)
DECLARE_PIXEL_KERNELS(Lanes_Avx2_Fma)
#endif
#if defined(KESTRINE_LANES_AVX512)
DECLARE_PIXEL_KERNELS(Lanes_Avx512)
#endif
#if defined(KESTRINE_LANES_NATIVE_ONLY) || defined(KESTRINE_LANES_WITH_NATIVE)
DECLARE_PIXEL_KERNELS(Lanes_Native)
#endif

const Pixel_Kernel_Table& Pixel_Kernels()
{
    switch (Soft_Device::Active_Lane_Set()) {
#if defined(KESTRINE_LANES_AVX2_FMA)
    case Soft_Device::Lane_Set::Avx2_Fma: return Lanes_Avx2_Fma::Pixel_Kernels_Of_Set;
#endif
#if defined(KESTRINE_LANES_AVX512)
    case Soft_Device::Lane_Set::Avx512: return Lanes_Avx512::Pixel_Kernels_Of_Set;
#endif
#if defined(KESTRINE_LANES_NATIVE_ONLY) || defined(KESTRINE_LANES_WITH_NATIVE)
    case Soft_Device::Lane_Set::Native: return Lanes_Native::Pixel_Kernels_Of_Set;
#endif
    default: break;
    }
#if defined(KESTRINE_LANES_NATIVE_ONLY)
    return Lanes_Native::Pixel_Kernels_Of_Set;
#else
    return Lanes_Portable::Pixel_Kernels_Of_Set;
#endif
}
