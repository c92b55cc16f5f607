// Lane sets: the software device's lane kernels compiled for several instruction sets, and the one
// that runs them on this CPU.
//
// A portable build compiles each lane kernel three times on x86-64: for the baseline (SSE2, which
// every x86-64 CPU has), for level v3 (AVX2, FMA) and for level v4 (AVX-512, whose masks and 32
// registers serve even the 256-bit vectors the lanes use), and picks the widest the CPU has.
// Other CPUs get the portable set alone (NEON on 64-bit ARM, plain vector code elsewhere); a native
// build (KESTRINE_NATIVE) compiles one set for the build machine's CPU. Each set is compiled in its
// own namespace (KESTRINE_LANES) from the same source, and nothing in a set runs before it is chosen.
#pragma once

namespace Soft_Device {

enum class Lane_Set {
    Portable,
    Avx2_Fma,
    Avx512,
    Native,
};

// Whether this build has the set and this CPU runs it.
bool Lane_Set_Runs_Here(Lane_Set Set);

// The set the lane kernels run in: chosen at the first call, the widest this CPU runs, unless a test
// or benchmark chose another (Soft_Control::Use_Lane_Set).
Lane_Set Active_Lane_Set();

// What the set is, for people: "AVX2 with FMA", "SSE2 without FMA", ...
const char* Lane_Set_Description(Lane_Set Set);

// Whether the set's multiply-adds round once, as a GPU's do.
bool Lane_Set_Fuses(Lane_Set Set);

// For Soft_Control: runs the lane kernels in Set from now on, if it runs here.
bool Choose_Lane_Set(Lane_Set Set);

} // namespace Soft_Device
