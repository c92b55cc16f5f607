// The walk of pixels in double, written against lane types: on a GPU a lane is the thread's own pixel
// and every lane type a scalar; on the software device one call walks Lane_Count pixels in SIMD
// vectors, compiled once per lane set (SoftDevice/LaneSets.h) inside the set's namespace.
//
// Each lane computes exactly what the scalar walk (Walk_Step in DeepKernels.cuh) computes for its
// pixel: the same operations in the same order, IEEE double each. Masks are all ones (true) or zero
// in every lane type, so the same expressions combine them on both devices. Where a lane may take a
// run of the approximation table, that lane leaves the vectors for the scalar code, which is rare:
// a pixel takes a few dozen runs against hundreds of steps.
#pragma once

#include "DeepKernels.cuh"

#if defined(__CUDACC__)
#define DEEP_LANE_CODE_BEGIN namespace Kestrine_Deep {
#define DEEP_LANE_CODE_END }
#else
#if !defined(KESTRINE_LANES)
#error "lane code is compiled inside the namespace of its lane set: define KESTRINE_LANES"
#endif
#define DEEP_LANE_CODE_BEGIN namespace KESTRINE_LANES { using namespace Kestrine_Deep;
#define DEEP_LANE_CODE_END }
#endif

DEEP_LANE_CODE_BEGIN

#if defined(__CUDACC__)
constexpr int Lane_Count = 1;
using Lane_Double = double;
using Lane_Long = long long;
__device__ __forceinline__ Lane_Long Is(bool Condition) { return -static_cast<Lane_Long>(Condition); }
__device__ __forceinline__ double Get(double v, int) { return v; }
__device__ __forceinline__ long long Get(long long v, int) { return v; }
__device__ __forceinline__ void Put(double& v, int, double x) { v = x; }
__device__ __forceinline__ void Put(long long& v, int, long long x) { v = x; }
#else
#if defined(__AVX2__) || defined(__AVX512F__)
#include <immintrin.h>
#endif
constexpr int Lane_Count = 8;
typedef double Lane_Double __attribute__((vector_size(Lane_Count * sizeof(double))));
typedef long long Lane_Long __attribute__((vector_size(Lane_Count * sizeof(long long))));
__forceinline__ Lane_Long Is(Lane_Long Comparison) { return Comparison; }
template <typename Vector>
__forceinline__ auto Get(const Vector& v, int i) { return v[i]; }
template <typename Vector, typename Element>
__forceinline__ void Put(Vector& v, int i, Element x) { v[i] = x; }
#endif
using Lane_Mask = Lane_Long; // -1 or 0 in every lane

#if defined(__CUDACC__)
__device__ __forceinline__ bool Any(const Lane_Mask& Mask)
{
    return Mask != 0;
}
#else
__forceinline__ bool Any(const Lane_Mask& Mask)
{
#if defined(__AVX512F__)
    const __m512i v = reinterpret_cast<__m512i>(Mask);
    return _mm512_test_epi64_mask(v, v) != 0;
#elif defined(__AVX2__)
    const __m256i* Halves = reinterpret_cast<const __m256i*>(&Mask);
    const __m256i v = _mm256_or_si256(Halves[0], Halves[1]);
    return !_mm256_testz_si256(v, v);
#else
    long long All = 0;
    for (int i = 0; i < Lane_Count; ++i)
        All |= Mask[i];
    return All != 0;
#endif
}
#endif

template <typename Value>
__device__ __forceinline__ Value Select(const Lane_Mask& Mask, const Value& If_Set, const Value& Otherwise)
{
    return Mask ? If_Set : Otherwise;
}

// The points at Index, one a lane; with AVX2 or AVX-512 as gathers of the real and imaginary parts
// (a point is two doubles, so part p of point i is double 2 i + p).
__device__ __forceinline__ void Gather(const Orbit_Point* Points, const Lane_Long& Index, Lane_Double& Re, Lane_Double& Im)
{
#if defined(__AVX512F__)
    const __m512i Doubles = reinterpret_cast<__m512i>(Index + Index);
    const double* First = &Points[0].Re;
    // The masked form with a zero source: GCC's plain gather starts from an undefined register, which
    // it then warns may be used uninitialised.
    const __m512d Zero = _mm512_setzero_pd();
    Re = reinterpret_cast<Lane_Double>(_mm512_mask_i64gather_pd(Zero, 0xFF, Doubles, First, 8));
    Im = reinterpret_cast<Lane_Double>(_mm512_mask_i64gather_pd(Zero, 0xFF, Doubles, First + 1, 8));
#elif defined(__AVX2__)
    const Lane_Long Doubles = Index + Index;
    const __m256i* Halves = reinterpret_cast<const __m256i*>(&Doubles);
    const double* First = &Points[0].Re;
    __m256d* Re_Halves = reinterpret_cast<__m256d*>(&Re);
    __m256d* Im_Halves = reinterpret_cast<__m256d*>(&Im);
    for (int h = 0; h < 2; ++h) {
        Re_Halves[h] = _mm256_i64gather_pd(First, Halves[h], 8);
        Im_Halves[h] = _mm256_i64gather_pd(First + 1, Halves[h], 8);
    }
#else
    for (int i = 0; i < Lane_Count; ++i) {
        const Orbit_Point& Point = Points[Get(Index, i)];
        Put(Re, i, Point.Re);
        Put(Im, i, Point.Im);
    }
#endif
}

// The walks of a call's pixels, lane by lane in the vectors.
struct Lane_Walk {
    Lane_Double Dr, Di, Cr, Ci, Escape_Re, Escape_Im;
    Lane_Long m, Count, Skipped, Stepped, Rebases;
    Lane_Mask Live, Escaped;

    __device__ __forceinline__ void Load(const Pixel_Run<false>* Runs, int Used)
    {
        Dr = Di = Cr = Ci = Escape_Re = Escape_Im = Lane_Double{};
        m = Count = Skipped = Stepped = Rebases = Live = Escaped = Lane_Long{};
        for (int i = 0; i < Used; ++i) {
            const Pixel_Run<false>& Run = Runs[i];
            Put(Live, i, Run.Live ? -1LL : 0LL);
            if (!Run.Live)
                continue;
            Put(Dr, i, Run.d.Re);
            Put(Di, i, Run.d.Im);
            Put(Cr, i, Run.Double_C.Re);
            Put(Ci, i, Run.Double_C.Im);
            Put(m, i, Run.W.m);
            Put(Count, i, Run.W.Count);
            Put(Skipped, i, Run.W.Skipped);
            Put(Stepped, i, Run.W.Stepped);
            Put(Rebases, i, Run.W.Rebases);
        }
    }

    __device__ __forceinline__ void Store(Pixel_Run<false>* Runs, int Used) const
    {
        for (int i = 0; i < Used; ++i) {
            Pixel_Run<false>& Run = Runs[i];
            if (!Run.Live)
                continue;
            Run.d = Double_Delta{Get(Dr, i), Get(Di, i)};
            Run.W.m = static_cast<int>(Get(m, i));
            Run.W.Count = static_cast<int>(Get(Count, i));
            Run.W.Skipped = static_cast<int>(Get(Skipped, i));
            Run.W.Stepped = static_cast<int>(Get(Stepped, i));
            Run.W.Rebases = static_cast<int>(Get(Rebases, i));
            Run.W.Escaped = Get(Escaped, i) != 0;
            Run.W.Zr = Get(Escape_Re, i);
            Run.W.Zi = Get(Escape_Im, i);
        }
    }

    // Lanes whose δ may take a run of the table: each looks for its longest run as the scalar walk
    // does, and takes it. Returns the lanes that took one.
    __device__ __forceinline__ Lane_Mask Take_Runs(const Deep_Launch& P)
    {
        Lane_Mask Took = Lane_Long{};
        const Lane_Mask May = Live & Is(m >= P.First_Step) & Is(Dr * Dr + Di * Di < P.Largest_Radius_Squared);
        if (!Any(May))
            return Took;
        for (int i = 0; i < Lane_Count; ++i) {
            if (!Get(May, i))
                continue;
            const Double_Delta d{Get(Dr, i), Get(Di, i)};
            const int Step = static_cast<int>(Get(m, i)), Done = static_cast<int>(Get(Count, i));
            const int Level = Longest_Run<Double_Arithmetic>(P, Step, Done, d);
            if (Level < 0)
                continue;
            const Approximation_Step& Run = P.Table[P.Level_Offset[Level] + ((Step - P.First_Step) >> Level)];
            Deep_Numbers::Scaled_Complex Next = Run.A * Double_Arithmetic::To_Scaled(d);
            if (P.Mandelbrot)
                Next = Next + Run.B * Double_Arithmetic::To_Scaled(Double_Delta{Get(Cr, i), Get(Ci, i)});
            const Double_Delta After = Double_Arithmetic::From_Scaled(Next);
            Put(Dr, i, After.Re);
            Put(Di, i, After.Im);
            Put(m, i, Step + (1 << Level));
            Put(Count, i, Done + (1 << Level));
            Put(Skipped, i, Get(Skipped, i) + (1 << Level));
            Put(Took, i, -1LL);
        }
        return Took;
    }

    // One step of every live lane: Walk_Step, lane by lane.
    __device__ __forceinline__ void Step(const Deep_Launch& P)
    {
        const Lane_Mask At_End = Live & Is(m == P.Length);
        if (Any(At_End)) {
            Lane_Double Or, Oi;
            Gather(P.D, Select(At_End, m, Lane_Long{}), Or, Oi);
            Dr = Select(At_End, Or + Dr, Dr);
            Di = Select(At_End, Oi + Di, Di);
            m = Select(At_End, Lane_Long{}, m);
            Rebases -= At_End;
        }
        const Lane_Mask Took = P.Approximate ? Take_Runs(P) : Lane_Long{};
        const Lane_Mask Stepping = Live & ~Took;
        const Lane_Long From = Select(Stepping, m, Lane_Long{});
        Lane_Double Zr, Zi, Nr, Ni, Next_Zr, Next_Zi;
        Gather(P.Z, From, Zr, Zi);
        Perturbation_Step(Dr, Di, Zr, Zi, Cr, Ci, Nr, Ni);
        Gather(P.Z, From + 1, Next_Zr, Next_Zi);
        const Lane_Double Re = Next_Zr + Nr, Im = Next_Zi + Ni;
        const Lane_Mask Kept = Is(Re * Re + Im * Im < P.Bound);
        const Lane_Mask Escaping = Stepping & ~Kept;
        Escape_Re = Select(Escaping, Re, Escape_Re);
        Escape_Im = Select(Escaping, Im, Escape_Im);
        Escaped |= Escaping;
        Live &= ~Escaping;
        const Lane_Mask Accepted = Stepping & Kept;
        Dr = Select(Accepted, Nr, Dr);
        Di = Select(Accepted, Ni, Di);
        m = Select(Accepted, m + 1, m);
        Count -= Accepted;
        Stepped -= Accepted;
        Rebase_Where_Nearer(P, (Accepted | Took) & Is(m < P.Length));
        Live &= Is(Count < P.Iterations);
    }

    __device__ __forceinline__ void Rebase_Where_Nearer(const Deep_Launch& P, const Lane_Mask& Moved)
    {
        if (!Any(Moved))
            return;
        Lane_Double Or, Oi;
        Gather(P.D, Select(Moved, m, Lane_Long{}), Or, Oi);
        const Lane_Double Fr = Or + Dr, Fi = Oi + Di;
        const Lane_Mask Nearer = Moved & Is(Fr * Fr + Fi * Fi < Dr * Dr + Di * Di);
        Dr = Select(Nearer, Fr, Dr);
        Di = Select(Nearer, Fi, Di);
        m = Select(Nearer, Lane_Long{}, m);
        Rebases -= Nearer;
    }
};

// The pixels of a view within double's range: the slots of this call's lanes, from the thread's on.
__global__ void __launch_bounds__(Deep_Block_Threads) Deep_Double_Lanes_Kernel(Deep_Launch P)
{
    const int First = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
    Pixel_Run<false> Runs[Lane_Count];
    int Used = 0;
    for (; Used < Lane_Count && First + Used < P.Active_Count; ++Used)
        Runs[Used].Begin(P, First + Used);
    if (Used == 0)
        return;
    Lane_Walk Walk;
    Walk.Load(Runs, Used);
    for (int Budget = P.Budget; Budget > 0 && Any(Walk.Live); --Budget)
        Walk.Step(P);
    Walk.Store(Runs, Used);
    for (int i = 0; i < Used; ++i)
        Runs[i].End(P);
}

DEEP_LANE_CODE_END
