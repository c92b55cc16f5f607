// Kernel lanes on the software device: one kernel call serves a run of 32 threads of a block row.
//
// A CPU core runs one thread of a block at a time, so an iteration loop written for one pixel
// would use one SIMD lane and wait on its own dependency chain. Instead, the first thread of each
// run of 32 threads in a block row handles the whole run: its values are independent SIMD vectors,
// enough to keep the SIMD units busy while each vector waits on the latency of its previous step.
// The block runner (Run_Lane_Blocks) calls the kernel for the first thread of each run only.
//
// Compiled once per lane set, inside its namespace KESTRINE_LANES (SoftVectors.h).
#pragma once

#include <cstdint>
#include <cstring>

#include "SoftLaunch.h"
#include "SoftVectors.h"

namespace KESTRINE_LANES {

constexpr int Lane_Width = 32;
constexpr int Vectors_Per_Lane_Group = Lane_Width / Vector_Width;

template <typename Vector, typename Element>
struct Lanes {
    Vector Part[Vectors_Per_Lane_Group];

    Lanes() = default;
    // A value the same in every lane, as a scalar of a GPU thread is.
    Lanes(Element Value)
    {
        for (Vector& v : Part)
            v = Vector{} + Value;
    }

    Element operator[](int Lane) const { return Part[Lane / Vector_Width][Lane % Vector_Width]; }
    void Set(int Lane, Element Value) { Part[Lane / Vector_Width][Lane % Vector_Width] = Value; }
};

using LaneFloat = Lanes<Float_Vector, float>;
using LaneInt = Lanes<Int_Vector, int>;
// Each lane all ones (true) or all zeros (false), as vector comparisons give them.
struct LaneMask : Lanes<Int_Vector, int> {
    LaneMask() = default;
};

#define SOFT_LANE_OPERATOR(Result, Left, Right, Op, Left_Part, Right_Part)                                             \
    __forceinline__ Result operator Op(const Left& a, const Right& b)                                                  \
    {                                                                                                                  \
        Result r;                                                                                                      \
        for (int g = 0; g < Vectors_Per_Lane_Group; ++g)                                                               \
            r.Part[g] = Left_Part Op Right_Part;                                                                       \
        return r;                                                                                                      \
    }

#define SOFT_LANE_ARITHMETIC(Op)                                                                                       \
    SOFT_LANE_OPERATOR(LaneFloat, LaneFloat, LaneFloat, Op, a.Part[g], b.Part[g])                                      \
    SOFT_LANE_OPERATOR(LaneFloat, LaneFloat, float, Op, a.Part[g], b)                                                  \
    SOFT_LANE_OPERATOR(LaneFloat, float, LaneFloat, Op, a, b.Part[g])

SOFT_LANE_ARITHMETIC(+)
SOFT_LANE_ARITHMETIC(-)
SOFT_LANE_ARITHMETIC(*)
SOFT_LANE_ARITHMETIC(/)
SOFT_LANE_OPERATOR(LaneInt, LaneInt, LaneInt, +, a.Part[g], b.Part[g])
SOFT_LANE_OPERATOR(LaneInt, LaneInt, int, |, a.Part[g], b)

#undef SOFT_LANE_ARITHMETIC
#undef SOFT_LANE_OPERATOR

__forceinline__ LaneInt Minimum(const LaneInt& a, int b)
{
    LaneInt r;
    for (int g = 0; g < Vectors_Per_Lane_Group; ++g)
        r.Part[g] = a.Part[g] < b ? a.Part[g] : b;
    return r;
}

// Entry e (0 to 255) of a 768-byte table of red, green, blue entries, in every lane, as 0x00BBGGRR.
// A 32-bit word is gathered for each lane without reading outside the table: for e > 0 the word
// that ends with the entry (from byte 3e - 1), shifted down one byte; for e = 0 the first word.
__forceinline__ LaneInt Load_Rgb(const unsigned char* __restrict__ Table, const LaneInt& Entry)
{
    LaneInt r;
    for (int g = 0; g < Vectors_Per_Lane_Group; ++g) {
        const Int_Vector e = Entry.Part[g];
        const Int_Vector Starts_Later = e > 0; // -1 or 0
        const Int_Vector Word = Gather_Words(Table, 3 * e + Starts_Later);
        const Int_Vector Shift = Starts_Later & 8;
        const Unsigned_Vector Shifted = reinterpret_cast<Unsigned_Vector>(Word) >> reinterpret_cast<Unsigned_Vector>(Shift);
        r.Part[g] = reinterpret_cast<Int_Vector>(Shifted) & 0x00FFFFFF;
    }
    return r;
}

// Whether any lane is true.
__forceinline__ bool Any(const LaneMask& m)
{
    Int_Vector All = m.Part[0];
    for (int g = 1; g < Vectors_Per_Lane_Group; ++g)
        All |= m.Part[g];
    return Any_Lane(All);
}

// The threshold that a square root is compared with, as a bound on the number under the root.
struct Root_Threshold {
    float Square_Bound;
};

// sqrt(m) < t, for the m >= 0 or NaN of the escape test, is m < b with b the smallest float whose
// square root (correctly rounded, as the CPU computes it) is at least t: the square root never
// decreases as m grows, so the two tests agree for every m. Found once per threshold and thread by
// a binary search over the bit patterns of the non-negative floats, which are ordered as their
// values; the search runs on the worker with its own denormal mode, as the test would.
inline Root_Threshold Threshold_For_Root(float Threshold)
{
    // Initial-exec: the library is loaded with the program, so no call is needed to reach these.
    static thread_local __attribute__((tls_model("initial-exec"))) float Cached_Threshold = 0.0f;
    static thread_local __attribute__((tls_model("initial-exec"))) Root_Threshold Cached{0.0f};
    if (std::memcmp(&Threshold, &Cached_Threshold, sizeof(float)) == 0)
        return Cached;
    Root_Threshold Bound{Threshold}; // NaN stays NaN: no test passes
    if (Threshold <= 0.0f) {
        Bound.Square_Bound = 0.0f; // no square root is below
    } else if (Threshold > 0.0f) {
        std::uint32_t Low = 0, High = 0x7F800000u; // +0 to +infinity, whose root passes any threshold
        while (Low < High) {
            const std::uint32_t Middle = Low + (High - Low) / 2;
            float Value;
            std::memcpy(&Value, &Middle, sizeof(Value));
            if (__builtin_sqrtf(Value) >= Threshold)
                High = Middle;
            else
                Low = Middle + 1;
        }
        std::memcpy(&Bound.Square_Bound, &Low, sizeof(float));
    }
    Cached_Threshold = Threshold;
    Cached = Bound;
    return Bound;
}

__forceinline__ Int_Vector Root_Below(Float_Vector Squared, Root_Threshold Threshold)
{
    return Squared < Threshold.Square_Bound;
}

// The pixels of one kernel call: a run of up to Lane_Width consecutive pixels of an image row, from
// this thread's on. A thread that does not start a run of its block row serves nothing.
class PixelLanes {
public:
    __forceinline__ PixelLanes(int W, int H)
    {
        const unsigned Thread = threadIdx.x;
        if (Thread % Lane_Width != 0)
            return;
        const int x = static_cast<int>(blockIdx.x * blockDim.x + Thread);
        const int y = static_cast<int>(blockIdx.y * blockDim.y + threadIdx.y);
        if (x >= W || y >= H)
            return;
        const int Threads_Of_Run = static_cast<int>(blockDim.x - Thread) < Lane_Width ? blockDim.x - Thread : Lane_Width;
        Count = W - x < Threads_Of_Run ? W - x : Threads_Of_Run;
        Column_Of_First = x;
        Row_Of_All = y;
        First = y * W + x;
    }

    bool Empty() const { return Count == 0; }

    // The image column and row of every lane.
    LaneFloat Column() const
    {
        const Float_Vector Lane_Offsets = Lane_Sequence<Float_Vector>(0, 1);
        LaneFloat Columns;
        for (int v = 0; v < Vectors_Per_Lane_Group; ++v)
            Columns.Part[v] = Lane_Offsets + static_cast<float>(Column_Of_First + v * Vector_Width);
        return Columns;
    }

    LaneFloat Row() const { return LaneFloat(static_cast<float>(Row_Of_All)); }

    // Whether the mask is true in any lane that holds a pixel of the image (a run cut short by an edge
    // has lanes that hold none).
    bool Any_In_Image(const LaneMask& Mask) const
    {
        if (Count == Lane_Width)
            return Any(Mask);
        LaneMask Inside;
        for (int v = 0; v < Vectors_Per_Lane_Group; ++v)
            Inside.Part[v] = Mask.Part[v] & (Lane_Sequence<Int_Vector>(v * Vector_Width, 1) < Count);
        return Any(Inside);
    }

    // A full run of lanes moves with whole-vector loads and stores (complex values are split into
    // real and imaginary vectors and merged again with shuffles); a run cut short by the image's edge
    // or the block's moves lane by lane, and its missing lanes hold zeros.
    void Load(const float2* Buffer, LaneFloat& Real, LaneFloat& Imag) const
    {
        if (Count == Lane_Width) {
            const float* Pairs = &Buffer[First].x;
            for (int v = 0; v < Vectors_Per_Lane_Group; ++v) {
                Float_Vector Low, High;
                std::memcpy(&Low, Pairs + 2 * Vector_Width * v, sizeof(Low));
                std::memcpy(&High, Pairs + 2 * Vector_Width * v + Vector_Width, sizeof(High));
                Deinterleave(Low, High, Real.Part[v], Imag.Part[v]);
            }
            return;
        }
        Real = LaneFloat(0.0f);
        Imag = LaneFloat(0.0f);
        for (int l = 0; l < Count; ++l) {
            Real.Set(l, Buffer[First + l].x);
            Imag.Set(l, Buffer[First + l].y);
        }
    }

    template <typename Lane_Values, typename Element>
    void Load(const Element* Buffer, Lane_Values& Values) const
    {
        static_assert(sizeof(Lane_Values) == Lane_Width * sizeof(Element));
        if (Count == Lane_Width) {
            for (int v = 0; v < Vectors_Per_Lane_Group; ++v)
                Load_Vector(Buffer + First + v * Vector_Width, Values.Part[v]);
            return;
        }
        Values = Lane_Values(Element{});
        for (int l = 0; l < Count; ++l)
            Values.Set(l, Buffer[First + l]);
    }

    void Store(float2* Buffer, const LaneFloat& Real, const LaneFloat& Imag) const
    {
        if (Count == Lane_Width) {
            float* Pairs = &Buffer[First].x;
            for (int v = 0; v < Vectors_Per_Lane_Group; ++v) {
                Float_Vector Low, High;
                Interleave(Real.Part[v], Imag.Part[v], Low, High);
                std::memcpy(Pairs + 2 * Vector_Width * v, &Low, sizeof(Low));
                std::memcpy(Pairs + 2 * Vector_Width * v + Vector_Width, &High, sizeof(High));
            }
            return;
        }
        for (int l = 0; l < Count; ++l)
            Buffer[First + l] = float2{Real[l], Imag[l]};
    }

    template <typename Lane_Values, typename Element>
    void Store(Element* Buffer, const Lane_Values& Values) const
    {
        if (Count == Lane_Width) {
            for (int v = 0; v < Vectors_Per_Lane_Group; ++v)
                std::memcpy(Buffer + First + v * Vector_Width, &Values.Part[v], sizeof(Values.Part[v]));
            return;
        }
        for (int l = 0; l < Count; ++l)
            Buffer[First + l] = Values[l];
    }

private:
    int First = 0;
    int Count = 0;
    int Column_Of_First = 0;
    int Row_Of_All = 0;
};

// The block runner of a lane kernel in this lane set: one call for the first thread of each run of
// Lane_Width threads of a block row, which serves the run (PixelLanes); the other threads' calls
// would find their pixels taken and do nothing, so they are not made.
template <auto Kernel, typename... Arguments>
void Run_Lane_Blocks(const Soft_Device::Block_Run& Run, Arguments... Values)
{
    Soft_Device::Run_Threads<Lane_Width>([&] { Kernel(Values...); }, Run);
}

} // namespace KESTRINE_LANES
