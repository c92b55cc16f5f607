#include "LaneSets.h"

#include <atomic>
#include <initializer_list>

namespace Soft_Device {
namespace {

// The portable set is compiled with the same target flags as this file, so what it can do is known
// here: fused multiply-adds on 64-bit ARM (always there), none on the x86-64 baseline.
#if defined(__FMA__) || defined(__ARM_FEATURE_FMA)
constexpr bool Portable_Fuses = true;
#else
constexpr bool Portable_Fuses = false;
#endif

#if defined(__SSE2__)
constexpr const char* Portable_Description = Portable_Fuses ? "SSE2 with FMA" : "SSE2 without FMA";
#elif defined(__ARM_NEON)
constexpr const char* Portable_Description = Portable_Fuses ? "NEON with FMA" : "NEON without FMA";
#else
constexpr const char* Portable_Description = Portable_Fuses ? "plain vectors with FMA" : "plain vectors without FMA";
#endif

#if defined(KESTRINE_NATIVE_LANES_FUSE)
constexpr bool Native_Fuses = true;
#else
constexpr bool Native_Fuses = false;
#endif

bool Built(Lane_Set Set)
{
    switch (Set) {
    case Lane_Set::Portable:
#if defined(KESTRINE_LANES_NATIVE_ONLY)
        return false;
#else
        return true;
#endif
    case Lane_Set::Avx2_Fma:
#if defined(KESTRINE_LANES_AVX2_FMA)
        return true;
#else
        return false;
#endif
    case Lane_Set::Avx512:
#if defined(KESTRINE_LANES_AVX512)
        return true;
#else
        return false;
#endif
    case Lane_Set::Native:
#if defined(KESTRINE_LANES_NATIVE_ONLY) || defined(KESTRINE_LANES_WITH_NATIVE)
        return true;
#else
        return false;
#endif
    }
    return false;
}

// The CPU's own answer, with the operating system's: GCC's check of an x86-64 level includes that
// the OS saves the registers of its vectors.
bool Cpu_Has_Level(Lane_Set Set)
{
#if defined(__x86_64__)
    return Set == Lane_Set::Avx2_Fma ? __builtin_cpu_supports("x86-64-v3") : __builtin_cpu_supports("x86-64-v4");
#else
    (void)Set;
    return false;
#endif
}

Lane_Set Widest_Here()
{
    if (Built(Lane_Set::Native) && !Built(Lane_Set::Portable))
        return Lane_Set::Native; // a native build has nothing else, and runs where it was built
    for (const Lane_Set Wider : {Lane_Set::Avx512, Lane_Set::Avx2_Fma})
        if (Lane_Set_Runs_Here(Wider))
            return Wider;
    return Lane_Set::Portable;
}

std::atomic<Lane_Set>& Active()
{
    static std::atomic<Lane_Set> Set{Widest_Here()};
    return Set;
}

} // namespace

bool Lane_Set_Runs_Here(Lane_Set Set)
{
    if (!Built(Set))
        return false;
    return (Set != Lane_Set::Avx2_Fma && Set != Lane_Set::Avx512) || Cpu_Has_Level(Set);
}

Lane_Set Active_Lane_Set()
{
    return Active().load(std::memory_order_relaxed);
}

const char* Lane_Set_Description(Lane_Set Set)
{
    switch (Set) {
    case Lane_Set::Portable: return Portable_Description;
    case Lane_Set::Avx2_Fma: return "AVX2 with FMA";
    case Lane_Set::Avx512: return "AVX-512 with FMA";
    case Lane_Set::Native: return Native_Fuses ? "native with FMA" : "native without FMA";
    }
    return "unknown";
}

bool Lane_Set_Fuses(Lane_Set Set)
{
    switch (Set) {
    case Lane_Set::Portable: return Portable_Fuses;
    case Lane_Set::Avx2_Fma:
    case Lane_Set::Avx512: return true;
    case Lane_Set::Native: return Native_Fuses;
    }
    return false;
}

bool Choose_Lane_Set(Lane_Set Set)
{
    if (!Lane_Set_Runs_Here(Set))
        return false;
    Active().store(Set, std::memory_order_relaxed);
    return true;
}

} // namespace Soft_Device
