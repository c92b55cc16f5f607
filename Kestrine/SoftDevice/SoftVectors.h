// SIMD vectors of the software device's lanes: the few operations the lanes need, each written once
// for every instruction set it has a better form on (AVX2, SSE2, NEON) and once in plain GCC vector
// code that any CPU compiles.
//
// This header is compiled once per lane set (LaneSets.h), each time with that set's target flags and
// inside that set's namespace KESTRINE_LANES, so that nothing compiled for one instruction set can be
// taken for the same-named code of another when the library is linked.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__AVX2__) || defined(__SSE2__)
#include <immintrin.h>
#elif defined(__ARM_NEON)
#include <arm_neon.h>
#endif

#if !defined(KESTRINE_LANES)
#error "lane code is compiled inside the namespace of its lane set: define KESTRINE_LANES"
#endif

namespace KESTRINE_LANES {

// The machine's own vector width: wider vectors than the CPU has are split badly by the compiler.
#if defined(__AVX__)
constexpr int Vector_Width = 8;
#else
constexpr int Vector_Width = 4;
#endif

typedef float Float_Vector __attribute__((vector_size(Vector_Width * sizeof(float))));
typedef int Int_Vector __attribute__((vector_size(Vector_Width * sizeof(int))));
typedef unsigned Unsigned_Vector __attribute__((vector_size(Vector_Width * sizeof(unsigned))));

// Whole vectors from memory of their elements, aligned only as the elements are.
typedef float Unaligned_Float_Vector __attribute__((vector_size(Vector_Width * sizeof(float)), aligned(4), may_alias));
typedef int Unaligned_Int_Vector __attribute__((vector_size(Vector_Width * sizeof(int)), aligned(4), may_alias));

// Lane i of the result is First + Step * i; constant after inlining.
template <typename Vector>
__forceinline__ Vector Lane_Sequence(int First, int Step)
{
    Vector Sequence;
    for (int i = 0; i < Vector_Width; ++i)
        Sequence[i] = First + Step * i;
    return Sequence;
}

__forceinline__ void Load_Vector(const float* From, Float_Vector& To)
{
    To = *reinterpret_cast<const Unaligned_Float_Vector*>(From);
}

__forceinline__ void Load_Vector(const int* From, Int_Vector& To)
{
    To = *reinterpret_cast<const Unaligned_Int_Vector*>(From);
}

// Complex values (real, imaginary, real, ...) in two vectors, split into a vector of real parts and
// one of imaginary parts. With AVX2, two instructions a vector: a shuffle within each 128-bit half,
// then one across the halves to put the lanes in order.
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

// And back: real and imaginary parts merged into complex values.
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

// Whether this build's multiply-adds below round once, as a GPU's do.
#if defined(__FMA__) || defined(__ARM_FEATURE_FMA)
constexpr bool Fuses = true;
#else
constexpr bool Fuses = false;
#endif

// One rounding for a * b + c where the CPU has fused multiply-add instructions, as on a GPU. The kernel
// files are built without contraction, so nothing else is fused. A CPU without them multiplies and
// adds separately, and may then differ from a GPU on pixels at a rounding boundary.
__forceinline__ Float_Vector Fused_Multiply_Add(Float_Vector a, Float_Vector b, Float_Vector c)
{
#if defined(__FMA__) && defined(__AVX__)
    return reinterpret_cast<Float_Vector>(
        _mm256_fmadd_ps(reinterpret_cast<__m256>(a), reinterpret_cast<__m256>(b), reinterpret_cast<__m256>(c)));
#elif defined(__FMA__)
    return reinterpret_cast<Float_Vector>(
        _mm_fmadd_ps(reinterpret_cast<__m128>(a), reinterpret_cast<__m128>(b), reinterpret_cast<__m128>(c)));
#elif defined(__ARM_NEON) && defined(__ARM_FEATURE_FMA)
    return reinterpret_cast<Float_Vector>(vfmaq_f32(reinterpret_cast<float32x4_t>(c), reinterpret_cast<float32x4_t>(a),
                                                    reinterpret_cast<float32x4_t>(b)));
#else
    return a * b + c;
#endif
}

// Whether any lane of the vector is not zero.
__forceinline__ bool Any_Lane(Int_Vector v)
{
#if defined(__AVX__)
    return !_mm256_testz_si256(reinterpret_cast<__m256i>(v), reinterpret_cast<__m256i>(v));
#elif defined(__SSE2__)
    return _mm_movemask_epi8(reinterpret_cast<__m128i>(v)) != 0;
#elif defined(__ARM_NEON) && defined(__aarch64__)
    return vmaxvq_u32(reinterpret_cast<uint32x4_t>(v)) != 0;
#else
    int All = 0;
    for (int i = 0; i < Vector_Width; ++i)
        All |= v[i];
    return All != 0;
#endif
}

// The 32-bit words at byte offsets Offset of Table, one a lane, read unaligned.
__forceinline__ Int_Vector Gather_Words(const unsigned char* Table, Int_Vector Offset)
{
#if defined(__AVX2__)
    return reinterpret_cast<Int_Vector>(
        _mm256_i32gather_epi32(reinterpret_cast<const int*>(Table), reinterpret_cast<__m256i>(Offset), 1));
#else
    Int_Vector Word;
    for (int l = 0; l < Vector_Width; ++l)
        std::memcpy(&Word[l], Table + Offset[l], sizeof(int));
    return Word;
#endif
}

} // namespace KESTRINE_LANES
