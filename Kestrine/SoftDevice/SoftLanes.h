// Kernel lanes on the software device: one kernel call serves a row of 32 threads of a block.
//
// A CPU core runs one thread of a block at a time, so an iteration loop written for one pixel
// would use one SIMD lane and wait on its own dependency chain. Instead, the first thread of each
// group of 32 threads in a block row handles the whole group: its values are four independent
// 8-wide vectors, enough to keep the SIMD units busy while each vector waits on the latency of its
// previous step. The block runner then skips the rest of the group (Threads_Served).
#pragma once

#include <algorithm>
#include <cstring>

namespace Soft_Device {

// The machine's own vector width: wider vectors than the CPU has are split badly by the compiler.
#if defined(__AVX__)
constexpr int Vector_Width = 8;
#else
constexpr int Vector_Width = 4;
#endif
constexpr int Lane_Width = 32;
constexpr int Vectors_Per_Lane_Group = Lane_Width / Vector_Width;

typedef float Float_Vector __attribute__((vector_size(Vector_Width * sizeof(float))));
typedef int Int_Vector __attribute__((vector_size(Vector_Width * sizeof(int))));

// Lane i of the result is First + Step * i; constant after inlining.
template <typename Vector>
__forceinline__ Vector Lane_Sequence(int First, int Step)
{
    Vector Sequence;
    for (int i = 0; i < Vector_Width; ++i)
        Sequence[i] = First + Step * i;
    return Sequence;
}

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

} // namespace Soft_Device

using LaneFloat = Soft_Device::Lanes<Soft_Device::Float_Vector, float>;
using LaneInt = Soft_Device::Lanes<Soft_Device::Int_Vector, int>;
// Each lane all ones (true) or all zeros (false), as vector comparisons give them.
struct LaneMask : Soft_Device::Lanes<Soft_Device::Int_Vector, int> {
    LaneMask() = default;
};

#define SOFT_LANE_OPERATOR(Result, Left, Right, Op, Left_Part, Right_Part)                                             \
    __forceinline__ Result operator Op(const Left& a, const Right& b)                                                  \
    {                                                                                                                  \
        Result r;                                                                                                      \
        for (int g = 0; g < Soft_Device::Vectors_Per_Lane_Group; ++g)                                                  \
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
SOFT_LANE_OPERATOR(LaneMask, LaneFloat, float, <, a.Part[g], b)
SOFT_LANE_OPERATOR(LaneMask, LaneFloat, LaneFloat, <, a.Part[g], b.Part[g])
SOFT_LANE_OPERATOR(LaneInt, LaneInt, int, +, a.Part[g], b)

#undef SOFT_LANE_ARITHMETIC
#undef SOFT_LANE_OPERATOR

// The per-lane choice that a GPU thread makes with a select instruction.
template <typename Lane_Values>
__forceinline__ Lane_Values Select(const LaneMask& Take_First, const Lane_Values& First, const Lane_Values& Second)
{
    Lane_Values r;
    for (int g = 0; g < Soft_Device::Vectors_Per_Lane_Group; ++g)
        r.Part[g] = Take_First.Part[g] ? First.Part[g] : Second.Part[g];
    return r;
}

__forceinline__ LaneFloat sqrtf(const LaneFloat& v)
{
    LaneFloat r;
    for (int g = 0; g < Soft_Device::Vectors_Per_Lane_Group; ++g)
        for (int l = 0; l < Soft_Device::Vector_Width; ++l)
            r.Part[g][l] = __builtin_sqrtf(v.Part[g][l]);
    return r;
}

// The pixels of one kernel call: a run of up to Lane_Width consecutive pixels of an image row.
class PixelLanes {
public:
    __forceinline__ PixelLanes(int W, int H)
    {
        using namespace Soft_Device;
        const unsigned Thread = threadIdx.x;
        if (Thread % Lane_Width != 0)
            return;
        Threads_Served = std::min(static_cast<unsigned>(Lane_Width), blockDim.x - Thread);
        const int x = static_cast<int>(blockIdx.x * blockDim.x + Thread);
        const int y = static_cast<int>(blockIdx.y * blockDim.y + threadIdx.y);
        if (x >= W || y >= H)
            return;
        Count = std::min(static_cast<int>(Threads_Served), W - x);
        Column_Of_First = x;
        Row_Of_All = y;
        First = y * W + x;
    }

    bool Empty() const { return Count == 0; }

    // The image column and row of every lane.
    LaneFloat Column() const
    {
        using namespace Soft_Device;
        const Float_Vector Lane_Offsets = Lane_Sequence<Float_Vector>(0, 1);
        LaneFloat Columns;
        for (int v = 0; v < Vectors_Per_Lane_Group; ++v)
            Columns.Part[v] = Lane_Offsets + static_cast<float>(Column_Of_First + v * Vector_Width);
        return Columns;
    }

    LaneFloat Row() const { return LaneFloat(static_cast<float>(Row_Of_All)); }

    // A full run of lanes moves with whole-vector loads and stores (complex values are split into
    // real and imaginary vectors and merged again with shuffles); a run cut short by the image's edge
    // or the block's moves lane by lane, and its missing lanes hold zeros.
    void Load(const float2* Buffer, LaneFloat& Real, LaneFloat& Imag) const
    {
        using namespace Soft_Device;
        if (Count == Lane_Width) {
            const float* Pairs = &Buffer[First].x;
            for (int v = 0; v < Vectors_Per_Lane_Group; ++v) {
                Float_Vector Low, High;
                std::memcpy(&Low, Pairs + 2 * Vector_Width * v, sizeof(Low));
                std::memcpy(&High, Pairs + 2 * Vector_Width * v + Vector_Width, sizeof(High));
                Real.Part[v] = __builtin_shuffle(Low, High, Lane_Sequence<Int_Vector>(0, 2));
                Imag.Part[v] = __builtin_shuffle(Low, High, Lane_Sequence<Int_Vector>(1, 2));
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
        static_assert(sizeof(Lane_Values) == Soft_Device::Lane_Width * sizeof(Element));
        if (Count == Soft_Device::Lane_Width) {
            std::memcpy(&Values, Buffer + First, sizeof(Values));
            return;
        }
        Values = Lane_Values(Element{});
        for (int l = 0; l < Count; ++l)
            Values.Set(l, Buffer[First + l]);
    }

    void Store(float2* Buffer, const LaneFloat& Real, const LaneFloat& Imag) const
    {
        using namespace Soft_Device;
        if (Count == Lane_Width) {
            float* Pairs = &Buffer[First].x;
            // Lane i of the low half takes real part i / 2 (even i) or imaginary part i / 2 (odd i).
            const Int_Vector Low_Pairs = Lane_Sequence<Int_Vector>(0, 1) / 2 + (Lane_Sequence<Int_Vector>(0, 1) % 2) * Vector_Width;
            const Int_Vector High_Pairs = Low_Pairs + Vector_Width / 2;
            for (int v = 0; v < Vectors_Per_Lane_Group; ++v) {
                const Float_Vector Low = __builtin_shuffle(Real.Part[v], Imag.Part[v], Low_Pairs);
                const Float_Vector High = __builtin_shuffle(Real.Part[v], Imag.Part[v], High_Pairs);
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
        if (Count == Soft_Device::Lane_Width) {
            std::memcpy(Buffer + First, &Values, sizeof(Values));
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
