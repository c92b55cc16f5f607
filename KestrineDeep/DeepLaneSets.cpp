// The deep lane kernels of the lane set this CPU runs (SoftDevice/LaneSets.h). Compiled for the baseline.
#include "DeepLaneSets.h"

#include <LaneSets.h>

#define DECLARE_DEEP_LANE_KERNELS(Set)                                                                                 \
    namespace Set {                                                                                                    \
    extern const Kestrine_Deep::Deep_Lane_Kernels Deep_Lane_Kernels_Of_Set;                                            \
    }

#if !defined(KESTRINE_LANES_NATIVE_ONLY)
DECLARE_DEEP_LANE_KERNELS(Lanes_Portable)
#endif
#if defined(KESTRINE_LANES_AVX2_FMA)
DECLARE_DEEP_LANE_KERNELS(Lanes_Avx2_Fma)
#endif
#if defined(KESTRINE_LANES_AVX512)
DECLARE_DEEP_LANE_KERNELS(Lanes_Avx512)
#endif
#if defined(KESTRINE_LANES_NATIVE_ONLY) || defined(KESTRINE_LANES_WITH_NATIVE)
DECLARE_DEEP_LANE_KERNELS(Lanes_Native)
#endif

namespace Kestrine_Deep {

const Deep_Lane_Kernels& Deep_Lane_Kernels_Here()
{
    switch (Soft_Device::Active_Lane_Set()) {
#if defined(KESTRINE_LANES_AVX2_FMA)
    case Soft_Device::Lane_Set::Avx2_Fma: return Lanes_Avx2_Fma::Deep_Lane_Kernels_Of_Set;
#endif
#if defined(KESTRINE_LANES_AVX512)
    case Soft_Device::Lane_Set::Avx512: return Lanes_Avx512::Deep_Lane_Kernels_Of_Set;
#endif
#if defined(KESTRINE_LANES_NATIVE_ONLY) || defined(KESTRINE_LANES_WITH_NATIVE)
    case Soft_Device::Lane_Set::Native: return Lanes_Native::Deep_Lane_Kernels_Of_Set;
#endif
    default: break;
    }
#if defined(KESTRINE_LANES_NATIVE_ONLY)
    return Lanes_Native::Deep_Lane_Kernels_Of_Set;
#else
    return Lanes_Portable::Deep_Lane_Kernels_Of_Set;
#endif
}

} // namespace Kestrine_Deep
