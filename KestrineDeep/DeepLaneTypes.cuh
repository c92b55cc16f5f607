// The value types of the deep walk's lanes. On a GPU a thread walks one pixel and every lane type is
// a scalar; on the software device one call walks Groups vectors of Group_Width pixels each, compiled
// once per lane set (SoftDevice/LaneSets.h) inside the set's namespace.
//
// Masks are all ones (true) or zero in every lane, so that the same expressions combine and select
// with them on both devices; Is turns a comparison into one.
#pragma once

#include <cuda_runtime.h>

#include <cstring>

#include "ReferenceOrbit.h"

#if defined(__CUDACC__)
#define DEEP_LANE_CODE_BEGIN namespace Kestrine_Deep {
#define DEEP_LANE_CODE_END }
#else
#if !defined(KESTRINE_LANES)
#error "lane code is compiled inside the namespace of its lane set: define KESTRINE_LANES"
#endif
#if defined(__AVX2__)
#include <immintrin.h>
#endif
#define DEEP_LANE_CODE_BEGIN namespace KESTRINE_LANES { using namespace Kestrine_Deep;
#define DEEP_LANE_CODE_END }
#endif

DEEP_LANE_CODE_BEGIN

#if defined(__CUDACC__)

// A GPU thread walks one pixel: one group of one lane.
constexpr int Group_Width = 1;
constexpr int Groups = 1;
using Lane_Double = double;
using Lane_Long = long long;

__device__ __forceinline__ Lane_Long Is(bool Condition)
{
    return -static_cast<Lane_Long>(Condition);
}
__device__ __forceinline__ bool Any(Lane_Long Mask)
{
    return Mask != 0;
}
template <typename Value>
__device__ __forceinline__ Value Get(const Value& v, int)
{
    return v;
}
template <typename Value>
__device__ __forceinline__ void Put(Value& v, int, Value x)
{
    v = x;
}
template <typename Value>
__device__ __forceinline__ Value Select(Lane_Long Mask, const Value& If_Set, const Value& Otherwise)
{
    return Mask ? If_Set : Otherwise;
}
__device__ __forceinline__ void Gather(const Orbit_Point* Points, Lane_Long Index, Lane_Double& Re, Lane_Double& Im)
{
    const Orbit_Point Point = Points[Index];
    Re = Point.Re;
    Im = Point.Im;
}
__device__ __forceinline__ Lane_Double Gather_One(const double* Values, Lane_Long Index)
{
    return Values[Index];
}

#else

// A group is one vector of the CPU's widest registers; a call walks several groups side by side, each
// its own chain of dependent operations, so that the core runs one group's step while another's waits
// on latency. One wider vector would not do: the compiler splits it into memory traffic.
#if defined(__AVX512F__)
constexpr int Group_Width = 8;
constexpr int Groups = 3;
#elif defined(__AVX2__)
constexpr int Group_Width = 4;
constexpr int Groups = 4;
#else
constexpr int Group_Width = 2;
constexpr int Groups = 4;
#endif
typedef double Lane_Double __attribute__((vector_size(Group_Width * sizeof(double))));
typedef long long Lane_Long __attribute__((vector_size(Group_Width * sizeof(long long))));

__forceinline__ Lane_Long Is(Lane_Long Comparison)
{
    return Comparison;
}

__forceinline__ bool Any(const Lane_Long& Mask)
{
#if defined(__AVX512F__)
    return _mm512_test_epi64_mask(reinterpret_cast<__m512i>(Mask), reinterpret_cast<__m512i>(Mask)) != 0;
#elif defined(__AVX2__)
    const __m256i All = reinterpret_cast<__m256i>(Mask);
    return !_mm256_testz_si256(All, All);
#else
    long long All = 0;
    for (int i = 0; i < Group_Width; ++i)
        All |= Mask[i];
    return All != 0;
#endif
}

template <typename Vector>
__forceinline__ auto Get(const Vector& v, int i)
{
    return v[i];
}
template <typename Vector, typename Element>
__forceinline__ void Put(Vector& v, int i, Element x)
{
    v[i] = x;
}
template <typename Vector>
__forceinline__ Vector Select(const Lane_Long& Mask, const Vector& If_Set, const Vector& Otherwise)
{
    return Mask ? If_Set : Otherwise;
}

// The points at Index, one a lane, as vectors of real and imaginary parts. With AVX2, four lanes at a
// time: each point's two doubles in one 128-bit load, two points a register, then two unpacks put the
// parts in lane order; the quarters are joined in registers (a store of each and a load of the whole
// would stall on store forwarding). A gather of each part costs as much on the CPUs measured.
#if defined(__AVX2__)
typedef double Quarter_Double __attribute__((vector_size(4 * sizeof(double))));

__forceinline__ void Gather_Quarter(const Orbit_Point* Points, long long I0, long long I1, long long I2, long long I3,
                                    Quarter_Double& Re, Quarter_Double& Im)
{
    const __m256d A = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(&Points[I0].Re)), _mm_loadu_pd(&Points[I2].Re), 1);
    const __m256d B = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(&Points[I1].Re)), _mm_loadu_pd(&Points[I3].Re), 1);
    // A = (r0, i0, r2, i2), B = (r1, i1, r3, i3): unpacking gives (r0, r1, r2, r3) and (i0, i1, i2, i3).
    Re = reinterpret_cast<Quarter_Double>(_mm256_unpacklo_pd(A, B));
    Im = reinterpret_cast<Quarter_Double>(_mm256_unpackhi_pd(A, B));
}
#endif

__forceinline__ void Gather(const Orbit_Point* Points, const Lane_Long& Index, Lane_Double& Re, Lane_Double& Im)
{
#if defined(__AVX512F__)
    Quarter_Double R0, I0, R1, I1;
    Gather_Quarter(Points, Index[0], Index[1], Index[2], Index[3], R0, I0);
    Gather_Quarter(Points, Index[4], Index[5], Index[6], Index[7], R1, I1);
    Re = __builtin_shufflevector(R0, R1, 0, 1, 2, 3, 4, 5, 6, 7);
    Im = __builtin_shufflevector(I0, I1, 0, 1, 2, 3, 4, 5, 6, 7);
#elif defined(__AVX2__)
    Gather_Quarter(Points, Index[0], Index[1], Index[2], Index[3], Re, Im);
#else
    for (int i = 0; i < Group_Width; ++i) {
        const Orbit_Point& Point = Points[Index[i]];
        Re[i] = Point.Re;
        Im[i] = Point.Im;
    }
#endif
}

// One double a lane, at Index: rarely needed, so the CPU's own gather.
__forceinline__ Lane_Double Gather_One(const double* Values, const Lane_Long& Index)
{
#if defined(__AVX512F__)
    return reinterpret_cast<Lane_Double>(
        _mm512_mask_i64gather_pd(_mm512_setzero_pd(), 0xFF, reinterpret_cast<__m512i>(Index), Values, 8));
#elif defined(__AVX2__)
    return reinterpret_cast<Lane_Double>(_mm256_mask_i64gather_pd(_mm256_setzero_pd(), Values, reinterpret_cast<__m256i>(Index),
                                                                  _mm256_castsi256_pd(_mm256_set1_epi64x(-1)), 8));
#else
    Lane_Double Out;
    for (int i = 0; i < Group_Width; ++i)
        Out[i] = Values[Index[i]];
    return Out;
#endif
}

#endif

// |x| as the scalar walk's Magnitude computes it, lane by lane.
template <typename Number>
__device__ __forceinline__ Number Lane_Magnitude(const Number& x)
{
    return Select(Is(x < 0), -x, x);
}

// The larger of a and b; b when b is NaN, so that a running maximum keeps a NaN it is given.
template <typename Number>
__device__ __forceinline__ Number Lane_Maximum(const Number& a, const Number& b)
{
    return Select(Is(b < a), a, b);
}

DEEP_LANE_CODE_END
