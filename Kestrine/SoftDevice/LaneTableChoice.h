// The choice of a lane set's table of kernels. Every lane set defines its table under one name in its
// own namespace (Lanes_<set>); a file that chooses between them defines LANE_TABLE_TYPE (the table's
// type, fully qualified) and LANE_TABLE_NAME, then includes this header once at namespace scope. It
// declares the tables of the sets this build compiles and defines, with internal linkage,
//     const LANE_TABLE_TYPE& Active_Lane_Table();
// the table of the set that runs (Active_Lane_Set). Compiled for the baseline, like the choice itself.
#include "LaneSets.h"

#if !defined(LANE_TABLE_TYPE) || !defined(LANE_TABLE_NAME)
#error "define LANE_TABLE_TYPE and LANE_TABLE_NAME before including LaneTableChoice.h"
#endif

#define KESTRINE_DECLARE_LANE_TABLE(Set)                                                                               \
    namespace Set {                                                                                                    \
    extern const LANE_TABLE_TYPE LANE_TABLE_NAME;                                                                      \
    }

#if !defined(KESTRINE_LANES_NATIVE_ONLY)
KESTRINE_DECLARE_LANE_TABLE(Lanes_Portable)
#endif
#if defined(KESTRINE_LANES_AVX2_FMA)
KESTRINE_DECLARE_LANE_TABLE(Lanes_Avx2_Fma)
#endif
#if defined(KESTRINE_LANES_AVX512)
KESTRINE_DECLARE_LANE_TABLE(Lanes_Avx512)
#endif
#if defined(KESTRINE_LANES_NATIVE_ONLY) || defined(KESTRINE_LANES_WITH_NATIVE)
KESTRINE_DECLARE_LANE_TABLE(Lanes_Native)
#endif

#undef KESTRINE_DECLARE_LANE_TABLE

namespace {

const LANE_TABLE_TYPE& Active_Lane_Table()
{
    switch (Soft_Device::Active_Lane_Set()) {
#if defined(KESTRINE_LANES_AVX2_FMA)
    case Soft_Device::Lane_Set::Avx2_Fma: return Lanes_Avx2_Fma::LANE_TABLE_NAME;
#endif
#if defined(KESTRINE_LANES_AVX512)
    case Soft_Device::Lane_Set::Avx512: return Lanes_Avx512::LANE_TABLE_NAME;
#endif
#if defined(KESTRINE_LANES_NATIVE_ONLY) || defined(KESTRINE_LANES_WITH_NATIVE)
    case Soft_Device::Lane_Set::Native: return Lanes_Native::LANE_TABLE_NAME;
#endif
    default: break;
    }
#if defined(KESTRINE_LANES_NATIVE_ONLY)
    return Lanes_Native::LANE_TABLE_NAME;
#else
    return Lanes_Portable::LANE_TABLE_NAME;
#endif
}

} // namespace
