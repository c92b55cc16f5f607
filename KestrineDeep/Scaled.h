// Numbers past double's exponent range: a double mantissa with an int exponent of its own.
//
// A Scaled_Complex is (Re + i Im) * 2^Exp, with the larger part's magnitude in [1, 2) (or both parts
// zero). Every operation works on the mantissas in double and moves the exponent separately;
// multiplying by a power of two is exact, so each result is the double operation's result, scaled,
// as long as no mantissa leaves double's range (they stay near 1) — the rounding is double's.
//
// Used on the host (reference, tables) and in the kernel on either device.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__CUDACC__)
#define DEEP_INLINE __host__ __device__ __forceinline__
#else
#define DEEP_INLINE inline __attribute__((always_inline))
#endif

namespace Deep_Numbers {

// The exponent of zero: far enough below every other that aligning to it drops nothing.
constexpr int Zero_Exponent = -(1 << 29);

DEEP_INLINE std::uint64_t Bits_Of(double Value)
{
#if defined(__CUDA_ARCH__)
    return static_cast<std::uint64_t>(__double_as_longlong(Value));
#else
    std::uint64_t Bits;
    std::memcpy(&Bits, &Value, sizeof(Bits));
    return Bits;
#endif
}

DEEP_INLINE double Double_Of(std::uint64_t Bits)
{
#if defined(__CUDA_ARCH__)
    return __longlong_as_double(static_cast<long long>(Bits));
#else
    double Value;
    std::memcpy(&Value, &Bits, sizeof(Value));
    return Value;
#endif
}

// 2^K for K in [-1022, 1023].
DEEP_INLINE double Power_Of_Two(int K)
{
    return Double_Of(static_cast<std::uint64_t>(K + 1023) << 52);
}

// Value * 2^K for any K: exact while the result is a normal double, zero below, infinite above.
DEEP_INLINE double Scale(double Value, int K)
{
    if (K >= -1022 && K <= 1023)
        return Value * Power_Of_Two(K);
    if (K < -1022)
        return K < -2100 ? 0.0 : Value * Power_Of_Two(-1022) * Power_Of_Two(K + 1022 < -1022 ? -1022 : K + 1022);
    return K > 2100 ? Value * 1e308 * 1e308 : Value * Power_Of_Two(1023) * Power_Of_Two(K - 1023 > 1023 ? 1023 : K - 1023);
}

// The exponent E of a normal, non-zero |Value| = f * 2^E with f in [1, 2).
DEEP_INLINE int Exponent_Of(double Value)
{
    return static_cast<int>((Bits_Of(Value) >> 52) & 0x7FF) - 1023;
}

DEEP_INLINE double Magnitude(double Value)
{
    return Value < 0 ? -Value : Value;
}

struct Scaled_Real {
    double Mantissa = 0; // |Mantissa| in [1, 2), or 0
    int Exp = Zero_Exponent;
};

struct Scaled_Complex {
    double Re = 0, Im = 0;
    int Exp = Zero_Exponent;
};

DEEP_INLINE Scaled_Real Normalised(double Mantissa, int Exp)
{
    if (!(Mantissa != 0) || Exp <= Zero_Exponent)
        return Scaled_Real{};
    const int E = Exponent_Of(Mantissa);
    return Scaled_Real{Mantissa * Power_Of_Two(-E), Exp + E};
}

DEEP_INLINE Scaled_Complex Normalised(double Re, double Im, int Exp)
{
    const double Larger = Magnitude(Re) > Magnitude(Im) ? Magnitude(Re) : Magnitude(Im);
    if (!(Larger != 0) || Exp <= Zero_Exponent)
        return Scaled_Complex{};
    const int E = Exponent_Of(Larger);
    const double Factor = Power_Of_Two(-E);
    return Scaled_Complex{Re * Factor, Im * Factor, Exp + E};
}

DEEP_INLINE Scaled_Real To_Scaled(double Value)
{
    // Subnormal doubles are lifted first, so that their exponent reads right.
    if (Magnitude(Value) < 0x1p-1000 && Value != 0)
        return Normalised(Value * 0x1p+200, -200);
    return Normalised(Value, 0);
}

DEEP_INLINE Scaled_Complex To_Scaled(double Re, double Im)
{
    const double Larger = Magnitude(Re) > Magnitude(Im) ? Magnitude(Re) : Magnitude(Im);
    if (Larger < 0x1p-1000 && Larger != 0)
        return Normalised(Re * 0x1p+200, Im * 0x1p+200, -200);
    return Normalised(Re, Im, 0);
}

DEEP_INLINE double To_Double(const Scaled_Real& Value)
{
    return Scale(Value.Mantissa, Value.Exp);
}

DEEP_INLINE void To_Double(const Scaled_Complex& Value, double& Re, double& Im)
{
    Re = Scale(Value.Re, Value.Exp);
    Im = Scale(Value.Im, Value.Exp);
}

DEEP_INLINE Scaled_Real operator*(const Scaled_Real& A, const Scaled_Real& B)
{
    return Normalised(A.Mantissa * B.Mantissa, A.Exp + B.Exp);
}

DEEP_INLINE Scaled_Real operator/(const Scaled_Real& A, const Scaled_Real& B)
{
    return Normalised(A.Mantissa / B.Mantissa, A.Exp - B.Exp);
}

// A + B, with the smaller aligned to the larger's exponent (dropped when entirely below its last bit).
DEEP_INLINE Scaled_Real operator+(const Scaled_Real& A, const Scaled_Real& B)
{
    if (A.Exp >= B.Exp)
        return Normalised(A.Mantissa + Scale(B.Mantissa, B.Exp - A.Exp), A.Exp);
    return Normalised(Scale(A.Mantissa, A.Exp - B.Exp) + B.Mantissa, B.Exp);
}

DEEP_INLINE Scaled_Real operator-(const Scaled_Real& A, const Scaled_Real& B)
{
    return A + Scaled_Real{-B.Mantissa, B.Exp};
}

DEEP_INLINE bool operator<(const Scaled_Real& A, const Scaled_Real& B)
{
    const bool A_Negative = A.Mantissa < 0, B_Negative = B.Mantissa < 0;
    if (A.Mantissa == 0 || B.Mantissa == 0 || A_Negative != B_Negative)
        return A.Mantissa < B.Mantissa;
    if (A.Exp != B.Exp)
        return A_Negative ? A.Exp > B.Exp : A.Exp < B.Exp;
    return A.Mantissa < B.Mantissa;
}

DEEP_INLINE Scaled_Real Minimum(const Scaled_Real& A, const Scaled_Real& B)
{
    return B < A ? B : A;
}

DEEP_INLINE Scaled_Complex operator+(const Scaled_Complex& A, const Scaled_Complex& B)
{
    if (A.Exp >= B.Exp) {
        const int Shift = B.Exp - A.Exp;
        return Normalised(A.Re + Scale(B.Re, Shift), A.Im + Scale(B.Im, Shift), A.Exp);
    }
    const int Shift = A.Exp - B.Exp;
    return Normalised(Scale(A.Re, Shift) + B.Re, Scale(A.Im, Shift) + B.Im, B.Exp);
}

DEEP_INLINE Scaled_Complex operator*(const Scaled_Complex& A, const Scaled_Complex& B)
{
    return Normalised(A.Re * B.Re - A.Im * B.Im, A.Re * B.Im + A.Im * B.Re, A.Exp + B.Exp);
}

DEEP_INLINE Scaled_Complex Square(const Scaled_Complex& A)
{
    return Normalised(A.Re * A.Re - A.Im * A.Im, 2 * A.Re * A.Im, 2 * A.Exp);
}

// |A|, rounded once more than the double hypotenuse would be; for bounds, not for the orbit.
DEEP_INLINE Scaled_Real Magnitude_Of(const Scaled_Complex& A)
{
    return Normalised(__builtin_sqrt(A.Re * A.Re + A.Im * A.Im), A.Exp);
}

// |A|^2 < |B|^2, exactly as the mantissas' squared magnitudes compare in double.
DEEP_INLINE bool Smaller(const Scaled_Complex& A, const Scaled_Complex& B)
{
    const double A_Norm = A.Re * A.Re + A.Im * A.Im, B_Norm = B.Re * B.Re + B.Im * B.Im;
    if (A_Norm == 0 || B_Norm == 0)
        return A_Norm < B_Norm;
    const int Shift = 2 * (A.Exp - B.Exp); // each norm is in [1, 8)
    if (Shift > 4)
        return false;
    if (Shift < -4)
        return true;
    return A_Norm * Power_Of_Two(Shift) < B_Norm;
}

// |A| < R for R >= 0.
DEEP_INLINE bool Below(const Scaled_Complex& A, const Scaled_Real& R)
{
    if (R.Mantissa == 0)
        return false;
    const double A_Norm = A.Re * A.Re + A.Im * A.Im;
    if (A_Norm == 0)
        return true;
    const int Shift = 2 * (A.Exp - R.Exp);
    if (Shift > 4)
        return false;
    if (Shift < -4)
        return true;
    return A_Norm * Power_Of_Two(Shift) < R.Mantissa * R.Mantissa;
}

} // namespace Deep_Numbers
