// Kernel lanes on the software device: one kernel call serves a row of 32 threads of a block.
//
// A CPU core runs one thread of a block at a time, so an iteration loop written for one pixel
// would use one SIMD lane and wait on its own dependency chain. Instead, the first thread of each
// group of 32 threads in a block row handles the whole group: its values are four independent
// 8-wide vectors, enough to fill the SIMD units while each vector waits on its latency. The other
// threads of the group find their pixels taken and return at once.
#pragma once

#include <algorithm>

namespace Soft_Device {

constexpr int Vector_Width = 8;
constexpr int Vectors_Per_Lane_Group = 4;
constexpr int Lane_Width = Vector_Width * Vectors_Per_Lane_Group;

typedef float Float_Vector __attribute__((vector_size(Vector_Width * sizeof(float))));
typedef int Int_Vector __attribute__((vector_size(Vector_Width * sizeof(int))));

template <typename Vector, typename Element>
struct Lanes {
    Vector Part[Vectors_Per_Lane_Group];

    Element operator[](int Lane) const { return Part[Lane / Vector_Width][Lane % Vector_Width]; }
    void Set(int Lane, Element Value) { Part[Lane / Vector_Width][Lane % Vector_Width] = Value; }
};

} // namespace Soft_Device

using LaneFloat = Soft_Device::Lanes<Soft_Device::Float_Vector, float>;
using LaneInt = Soft_Device::Lanes<Soft_Device::Int_Vector, int>;
// Each lane all ones (true) or all zeros (false), as vector comparisons give them.
struct LaneMask : Soft_Device::Lanes<Soft_Device::Int_Vector, int> {};

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
        const unsigned Thread = threadIdx.x;
        if (Thread % Soft_Device::Lane_Width != 0)
            return;
        const int x = static_cast<int>(blockIdx.x * blockDim.x + Thread);
        const int y = static_cast<int>(blockIdx.y * blockDim.y + threadIdx.y);
        if (x >= W || y >= H)
            return;
        Count = std::min({Soft_Device::Lane_Width, static_cast<int>(blockDim.x - Thread), W - x});
        First = y * W + x;
    }

    bool Empty() const { return Count == 0; }

    void Load(const float2* Buffer, LaneFloat& Real, LaneFloat& Imag) const
    {
        Real = LaneFloat{};
        Imag = LaneFloat{};
        for (int l = 0; l < Count; ++l) {
            Real.Set(l, Buffer[First + l].x);
            Imag.Set(l, Buffer[First + l].y);
        }
    }

    template <typename Lane_Values, typename Element>
    void Load(const Element* Buffer, Lane_Values& Values) const
    {
        Values = Lane_Values{};
        for (int l = 0; l < Count; ++l)
            Values.Set(l, Buffer[First + l]);
    }

    void Store(float2* Buffer, const LaneFloat& Real, const LaneFloat& Imag) const
    {
        for (int l = 0; l < Count; ++l)
            Buffer[First + l] = float2{Real[l], Imag[l]};
    }

    template <typename Lane_Values, typename Element>
    void Store(Element* Buffer, const Lane_Values& Values) const
    {
        for (int l = 0; l < Count; ++l)
            Buffer[First + l] = Values[l];
    }

private:
    int First = 0;
    int Count = 0;
};
