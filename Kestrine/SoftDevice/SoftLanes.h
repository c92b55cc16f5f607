// Kernel lanes on the software device: one kernel call serves a row of 32 threads of a block.
//
// A CPU core runs one thread of a block at a time, so an iteration loop written for one pixel
// would use one SIMD lane and wait on its own dependency chain. Instead, the first thread of each
// group of 32 threads in a block row handles the whole group: its values are four independent
// 8-wide vectors, enough to keep the SIMD units busy while each vector waits on the latency of its
// previous step. The block runner then skips the rest of the group (Threads_Served).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <immintrin.h>

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
typedef unsigned Unsigned_Vector __attribute__((vector_size(Vector_Width * sizeof(unsigned))));

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

// Whole vectors from and to memory of their elements, aligned only as the elements are.
typedef float Unaligned_Float_Vector __attribute__((vector_size(Vector_Width * sizeof(float)), aligned(4), may_alias));
typedef int Unaligned_Int_Vector __attribute__((vector_size(Vector_Width * sizeof(int)), aligned(4), may_alias));

__forceinline__ void Load_Vector(const float* From, Float_Vector& To)
{
    To = *reinterpret_cast<const Unaligned_Float_Vector*>(From);
}

__forceinline__ void Load_Vector(const int* From, Int_Vector& To)
{
    To = *reinterpret_cast<const Unaligned_Int_Vector*>(From);
}

// Complex values (real, imaginary, real, ...) in two vectors, split into a vector of real parts and
// one of imaginary parts, and back. With AVX2, two instructions a vector: a shuffle within each
// 128-bit half, then one across the halves to put the lanes in order.
__forceinline__ void Deinterleave(Float_Vector Low, Float_Vector High, Float_Vector& Real, Float_Vector& Imag)
{
#if defined(__AVX2__)
    const __m256 l = reinterpret_cast<__m256>(Low), h = reinterpret_cast<__m256>(High);
    const auto In_Order = [](__m256 v) {
        return reinterpret_cast<Float_Vector>(_mm256_permute4x64_pd(_mm256_castps_pd(v), 0xD8));
    };
    Real = In_Order(_mm256_shuffle_ps(l, h, 0x88));
    Imag = In_Order(_mm256_shuffle_ps(l, h, 0xDD));
#else
    Real = __builtin_shuffle(Low, High, Lane_Sequence<Int_Vector>(0, 2));
    Imag = __builtin_shuffle(Low, High, Lane_Sequence<Int_Vector>(1, 2));
#endif
}

__forceinline__ void Interleave(Float_Vector Real, Float_Vector Imag, Float_Vector& Low, Float_Vector& High)
{
#if defined(__AVX2__)
    const __m256 r = reinterpret_cast<__m256>(Real), i = reinterpret_cast<__m256>(Imag);
    const __m256 First_Halves = _mm256_unpacklo_ps(r, i), Second_Halves = _mm256_unpackhi_ps(r, i);
    Low = reinterpret_cast<Float_Vector>(_mm256_permute2f128_ps(First_Halves, Second_Halves, 0x20));
    High = reinterpret_cast<Float_Vector>(_mm256_permute2f128_ps(First_Halves, Second_Halves, 0x31));
#else
    // Lane i of the low half takes real part i / 2 (even i) or imaginary part i / 2 (odd i).
    const Int_Vector Low_Pairs = Lane_Sequence<Int_Vector>(0, 1) / 2 + (Lane_Sequence<Int_Vector>(0, 1) % 2) * Vector_Width;
    Low = __builtin_shuffle(Real, Imag, Low_Pairs);
    High = __builtin_shuffle(Real, Imag, Low_Pairs + Vector_Width / 2);
#endif
}

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
SOFT_LANE_OPERATOR(LaneInt, LaneInt, LaneInt, +, a.Part[g], b.Part[g])
SOFT_LANE_OPERATOR(LaneInt, LaneInt, int, |, a.Part[g], b)

#undef SOFT_LANE_ARITHMETIC
#undef SOFT_LANE_OPERATOR

__forceinline__ LaneInt Minimum(const LaneInt& a, int b)
{
    LaneInt r;
    for (int g = 0; g < Soft_Device::Vectors_Per_Lane_Group; ++g)
        r.Part[g] = a.Part[g] < b ? a.Part[g] : b;
    return r;
}

// Entry e (0 to 255) of a 768-byte table of red, green, blue entries, in every lane, as 0x00BBGGRR.
// A 32-bit word is gathered for each lane without reading outside the table: for e > 0 the word
// that ends with the entry (from byte 3e - 1), shifted down one byte; for e = 0 the first word.
__forceinline__ LaneInt Load_Rgb(const unsigned char* __restrict__ Table, const LaneInt& Entry)
{
    using namespace Soft_Device;
    LaneInt r;
    for (int g = 0; g < Vectors_Per_Lane_Group; ++g) {
        const Int_Vector e = Entry.Part[g];
        const Int_Vector Starts_Later = e > 0; // -1 or 0
        const Int_Vector Offset = 3 * e + Starts_Later;
#if defined(__AVX2__)
        const Int_Vector Word = reinterpret_cast<Int_Vector>(
            _mm256_i32gather_epi32(reinterpret_cast<const int*>(Table), reinterpret_cast<__m256i>(Offset), 1));
#else
        Int_Vector Word;
        for (int l = 0; l < Vector_Width; ++l)
            std::memcpy(&Word[l], Table + Offset[l], sizeof(int));
#endif
        const Int_Vector Shift = Starts_Later & 8;
        const Unsigned_Vector Shifted = reinterpret_cast<Unsigned_Vector>(Word) >> reinterpret_cast<Unsigned_Vector>(Shift);
        r.Part[g] = reinterpret_cast<Int_Vector>(Shifted) & 0x00FFFFFF;
    }
    return r;
}

// Whether any lane is true.
__forceinline__ bool Any(const LaneMask& m)
{
    Soft_Device::Int_Vector All = m.Part[0];
    for (int g = 1; g < Soft_Device::Vectors_Per_Lane_Group; ++g)
        All |= m.Part[g];
#if defined(__AVX__)
    return !_mm256_testz_si256(reinterpret_cast<__m256i>(All), reinterpret_cast<__m256i>(All));
#else
    return _mm_movemask_epi8(reinterpret_cast<__m128i>(All)) != 0;
#endif
}

// One rounding for a * b + c where the CPU has fused multiply-add instructions, as on a GPU. The kernel
// file is built without contraction, so nothing else is fused. A CPU without them (a portable build)
// multiplies and adds separately, and may then differ from a GPU on pixels at a rounding boundary.
__forceinline__ Soft_Device::Float_Vector Fused_Multiply_Add(Soft_Device::Float_Vector a, Soft_Device::Float_Vector b,
                                                             Soft_Device::Float_Vector c)
{
    using Soft_Device::Float_Vector;
#if defined(__FMA__) && defined(__AVX__)
    return reinterpret_cast<Float_Vector>(
        _mm256_fmadd_ps(reinterpret_cast<__m256>(a), reinterpret_cast<__m256>(b), reinterpret_cast<__m256>(c)));
#elif defined(__FMA__)
    return reinterpret_cast<Float_Vector>(
        _mm_fmadd_ps(reinterpret_cast<__m128>(a), reinterpret_cast<__m128>(b), reinterpret_cast<__m128>(c)));
#else
    return a * b + c;
#endif
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

__forceinline__ Soft_Device::Int_Vector Root_Below(Soft_Device::Float_Vector Squared, Root_Threshold Threshold)
{
    return Squared < Threshold.Square_Bound;
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

    // Whether the mask is true in any lane that holds a pixel of the image (a run cut short by an edge
    // has lanes that hold none).
    bool Any_In_Image(const LaneMask& Mask) const
    {
        using namespace Soft_Device;
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
        using namespace Soft_Device;
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
        static_assert(sizeof(Lane_Values) == Soft_Device::Lane_Width * sizeof(Element));
        if (Count == Soft_Device::Lane_Width) {
            for (int v = 0; v < Soft_Device::Vectors_Per_Lane_Group; ++v)
                Soft_Device::Load_Vector(Buffer + First + v * Soft_Device::Vector_Width, Values.Part[v]);
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
        if (Count == Soft_Device::Lane_Width) {
            for (int v = 0; v < Soft_Device::Vectors_Per_Lane_Group; ++v)
                std::memcpy(Buffer + First + v * Soft_Device::Vector_Width, &Values.Part[v], sizeof(Values.Part[v]));
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

// Up to Steps steps of the orbits of a run of pixels: Next(Zr, Zi, Cr, Ci, A, B), called on one vector
// of lanes at a time, puts the candidates in A and B and says in which lanes they are kept. Returns
// whether any lane kept a step, that is whether z changed; Kept counts each lane's kept steps.
//
// A refused step freezes its pixel for good: z stays, so every later step computes the same candidate
// and refuses it again. So once no lane of the run keeps its step, the steps left would change
// nothing, and the run leaves (tested every four steps, and after the first, so that a launch over a
// run frozen by an earlier launch costs one step).
template <typename Step>
__forceinline__ bool Iterate_Orbit(const PixelLanes& Pixels, LaneFloat& Zr, LaneFloat& Zi, const LaneFloat& Cr,
                                   const LaneFloat& Ci, LaneInt& Kept_Steps, int Steps, Step Next)
{
    using namespace Soft_Device;
    if (Steps <= 0)
        return false;
    LaneMask Kept;
    LaneFloat A, B;
    const auto Candidates = [&] {
        for (int g = 0; g < Vectors_Per_Lane_Group; ++g)
            Kept.Part[g] = Next(Zr.Part[g], Zi.Part[g], Cr.Part[g], Ci.Part[g], A.Part[g], B.Part[g]);
    };
    const auto Keep = [&] {
        for (int g = 0; g < Vectors_Per_Lane_Group; ++g) {
            Zr.Part[g] = Kept.Part[g] ? A.Part[g] : Zr.Part[g];
            Zi.Part[g] = Kept.Part[g] ? B.Part[g] : Zi.Part[g];
            Kept_Steps.Part[g] -= Kept.Part[g]; // a kept lane is -1
        }
    };
    const auto One_Step = [&] {
        Candidates();
        Keep();
    };
    // The first step decides for runs that an earlier launch froze: nothing kept, nothing to keep.
    Candidates();
    if (!Pixels.Any_In_Image(Kept))
        return false;
    Keep();
    int Done = 1;
    for (; Steps - Done >= 4; Done += 4) {
        One_Step();
        One_Step();
        One_Step();
        One_Step();
        if (!Pixels.Any_In_Image(Kept))
            return true;
    }
    for (; Done < Steps; ++Done)
        One_Step();
    return true;
}
