// The per-pixel walk of deep pictures: perturbation against the reference orbit, rebasing, and
// bilinear approximation, in double or in the scaled type. This file holds one pixel's walk in plain
// scalars; DeepLanes.cuh walks several pixels at once in vector lanes and hands each pixel to the code
// here for the turns that lanes do not take (a run of the table, the scaled type, the reference's end).
//
// A launch advances every pixel of its list by at most Budget steps (a step of the table counts as
// one) and leaves the pixel's state for the next launch, so that no launch runs long and a render can
// be cancelled between two of them.
#pragma once

#include <cuda_runtime.h>

#include "ApproximationTable.h"
#include "JuliaTrap.h"
#include "ReferenceOrbit.h"
#include "Scaled.h"

namespace Kestrine_Deep {

enum Pixel_Phase : int { Not_Started = 0, Running = 1, Finished = 2 };

// A pixel between launches. While it runs: its δ against the reference and its count, and in double
// views of the Mandelbrot set what the interior probe has seen of its orbit (DeepInterior.cuh). Once
// finished inside an attracting cycle it keeps what the pixels after it learn from it: the cycle's
// point near 0, its period and a disk of pixels that are inside the set too.
struct Pixel_State {
    double Re, Im; // running: δ = z - Z(Step); finished in a cycle: the cycle's point nearest 0
    int Exp;       // running in the scaled type: δ's exponent; 0 in double
    int Step;      // running: m, the reference index δ is taken against; finished in a cycle: the disk's centre pixel
    int Count;     // steps accepted so far
    int Phase;
    int Period;    // the probe's candidate period, 0 before the first; finished: the cycle's period, 0 for none
    int Target;    // the count at which the probe compares z with Mark
    // z at count Target - Period. Before the first candidate, Mark_Re is the |z|^2 a new one must fall
    // below (0: the pixel is not watched). Finished in a cycle: Mark_Re is the disk's radius in columns.
    float Mark_Re, Mark_Im;
};

// What a launch reports of each slot: whether its pixel finished, and the steps it took meanwhile.
struct Slot_Report {
    int Done;
    int Skipped;  // iterations the table took
    int Stepped;  // iterations taken one by one, and the steps of the interior probe's cycle walks
    int Rebases;
};

struct Deep_Launch {
    const Orbit_Point* Z;
    const Orbit_Point* D;
    int Length;
    // 0, or the period the reference repeats with past Length (ReferenceOrbit.h).
    int Period;
    const Approximation_Step* Table;
    int Levels;
    int First_Step;
    int Level_Offset[Max_Levels];
    int Level_Size[Max_Levels];
    bool Approximate;
    bool Mandelbrot;
    // Mandelbrot views in double: the interior probe watches the pixels of this pass (all of them on the
    // first pass; later, those beside a pixel found inside the set).
    bool Probe;
    // The passes of a probed render take the pixels on ever finer grids: this pass's pixels lie Stride
    // columns and rows from the coarser grid's, which are all finished. 0 on the first pass.
    int Stride;
    Julia_Trap Trap;
    Deep_Numbers::Scaled_Real Largest_Radius; // of the table's single steps
    double Largest_Radius_Squared;
    // Per reference index m: (R 2^500)^2 for the radius R of the table's single step at m, -1 where
    // none may be taken; so that lanes tell a run from a plain step as Below does (Lane_Scale).
    const double* Entry_Radius_Squared;
    Deep_Numbers::Scaled_Real Spacing;
    double Row_Ratio; // the row spacing over Spacing, the column spacing; 1 for square pixels
    Orbit_Point Constant; // Mandelbrot: the reference's c; Julia: c
    double Bound;         // a candidate is kept while |z|^2 < Bound
    int Iterations;
    int Budget;
    int W, H;
    const int* Active;    // the pixels of this launch, y * W + x
    int Active_Count;
    Pixel_State* States;
    int* Counts;
    float* Smooth;
    Slot_Report* Reports; // per entry of Active
};

// The smooth count's radius: |z| > 2^10.
constexpr double Smooth_Radius_Squared = 1024.0 * 1024.0;
constexpr int Smooth_Step_Cap = 64;

struct Double_Delta {
    double Re, Im;
};

// δ' = 2 Z δ + δ^2 + δc, for scalars and for lane vectors alike, so that a pixel in lanes is rounded
// in exactly the operations it is rounded in alone.
template <typename Number, typename Reference>
__device__ __forceinline__ void Perturbation_Step(const Number& Dr, const Number& Di, const Reference& Zr,
                                                  const Reference& Zi, const Number& Cr, const Number& Ci, Number& Nr,
                                                  Number& Ni)
{
    Nr = 2 * (Zr * Dr - Zi * Di) + (Dr * Dr - Di * Di) + Cr;
    Ni = 2 * (Zr * Di + Zi * Dr) + 2 * Dr * Di + Ci;
}

// Arithmetic on δ in double: plain IEEE operations, each rounded once (the build fuses nothing).
struct Double_Arithmetic {
    using Delta = Double_Delta;

    static __device__ __forceinline__ Delta Load(const Pixel_State& S) { return Delta{S.Re, S.Im}; }
    static __device__ __forceinline__ void Store(const Delta& d, Pixel_State& S)
    {
        S.Re = d.Re;
        S.Im = d.Im;
        S.Exp = 0;
    }
    static __device__ __forceinline__ Delta From_Scaled(const Deep_Numbers::Scaled_Complex& v)
    {
        Delta d;
        Deep_Numbers::To_Double(v, d.Re, d.Im);
        return d;
    }
    static __device__ __forceinline__ Deep_Numbers::Scaled_Complex To_Scaled(const Delta& d)
    {
        return Deep_Numbers::To_Scaled(d.Re, d.Im);
    }
    // 2 Z δ + δ^2 + δc.
    static __device__ __forceinline__ Delta Step(const Delta& d, const Orbit_Point& Z, const Delta& dc)
    {
        Delta Next;
        Perturbation_Step(d.Re, d.Im, Z.Re, Z.Im, dc.Re, dc.Im, Next.Re, Next.Im);
        return Next;
    }
    static __device__ __forceinline__ Delta Plus(const Orbit_Point& P, const Delta& d)
    {
        return Delta{P.Re + d.Re, P.Im + d.Im};
    }
    static __device__ __forceinline__ bool Smaller(const Delta& a, const Delta& b)
    {
        return a.Re * a.Re + a.Im * a.Im < b.Re * b.Re + b.Im * b.Im;
    }
    static __device__ __forceinline__ void To_Double(const Delta& d, double& Re, double& Im)
    {
        Re = d.Re;
        Im = d.Im;
    }
};

// Arithmetic on δ past double's range: the same operations on mantissas, exponents apart.
struct Scaled_Arithmetic {
    using Delta = Deep_Numbers::Scaled_Complex;

    static __device__ __forceinline__ Delta Load(const Pixel_State& S) { return Delta{S.Re, S.Im, S.Exp}; }
    static __device__ __forceinline__ void Store(const Delta& d, Pixel_State& S)
    {
        S.Re = d.Re;
        S.Im = d.Im;
        S.Exp = d.Exp;
    }
    static __device__ __forceinline__ Delta From_Scaled(const Delta& v) { return v; }
    static __device__ __forceinline__ Delta To_Scaled(const Delta& d) { return d; }
    static __device__ __forceinline__ Delta Step(const Delta& d, const Orbit_Point& Z, const Delta& dc)
    {
        const Delta Linear =
            Deep_Numbers::Normalised(2 * (Z.Re * d.Re - Z.Im * d.Im), 2 * (Z.Re * d.Im + Z.Im * d.Re), d.Exp);
        return Linear + Deep_Numbers::Square(d) + dc;
    }
    static __device__ __forceinline__ Delta Plus(const Orbit_Point& P, const Delta& d)
    {
        return Deep_Numbers::To_Scaled(P.Re, P.Im) + d;
    }
    static __device__ __forceinline__ bool Smaller(const Delta& a, const Delta& b) { return Deep_Numbers::Smaller(a, b); }
    static __device__ __forceinline__ void To_Double(const Delta& d, double& Re, double& Im)
    {
        Deep_Numbers::To_Double(d, Re, Im);
    }
};

// The pixel's offset from the view's centre, ((x - (W-1)/2) s, (y - (H-1)/2) s r); the halving is
// exact, and so is the product by r = 1 of square pixels.
__device__ __forceinline__ Deep_Numbers::Scaled_Complex Pixel_Offset(const Deep_Launch& P, int x, int y)
{
    const double Column = static_cast<double>(2 * x - (P.W - 1)) * 0.5;
    const double Row = static_cast<double>(2 * y - (P.H - 1)) * 0.5 * P.Row_Ratio;
    return Deep_Numbers::Normalised(Column * P.Spacing.Mantissa, Row * P.Spacing.Mantissa, P.Spacing.Exp);
}

// From the failed candidate z(Count + 1) on, in double (|z| is past the threshold, c is the pixel's
// own): the first j with |z(j)| > 2^10, and the smooth count j - log2(ln|z(j)| / ln 2^10).
__device__ __forceinline__ float Smooth_Count(double Zr, double Zi, double Cr, double Ci, int Count)
{
    double Norm = Zr * Zr + Zi * Zi;
    int j = Count + 1;
    for (int Extra = 0; !(Norm > Smooth_Radius_Squared) && Extra < Smooth_Step_Cap; ++Extra) {
        const double Re = Zr * Zr - Zi * Zi + Cr;
        Zi = 2 * Zr * Zi + Ci;
        Zr = Re;
        Norm = Zr * Zr + Zi * Zi;
        ++j;
    }
    if (!(Norm > Smooth_Radius_Squared) || !(Norm < 1e300))
        return static_cast<float>(j);
    // ln|z| / ln R = ln(|z|^2) / ln(R^2).
    return static_cast<float>(j - log2(log(Norm) / log(Smooth_Radius_Squared)));
}

// What a pixel's walk along the reference carries between its steps.
struct Pixel_Walk {
    int m, Count, Skipped, Stepped, Rebases, Budget;
    bool Escaped;
    double Zr, Zi; // the failed candidate, once Escaped
};

// Whether |δ| may be below some single step's radius at all. Exact as a filter: the largest radius
// bounds every run's, so a δ it rejects would fail every lookup of the table.
__device__ __forceinline__ bool May_Take_Run(const Deep_Launch& P, const Double_Delta& d)
{
    return d.Re * d.Re + d.Im * d.Im < P.Largest_Radius_Squared;
}
__device__ __forceinline__ bool May_Take_Run(const Deep_Launch& P, const Deep_Numbers::Scaled_Complex& d)
{
    return d.Exp <= P.Largest_Radius.Exp + 1;
}

// δ and R scaled by Lane_Scale before squaring keep their squares within double's normal range for
// every δ a lane holds (2^-970 to 2^4), so |δ|^2 < R^2 then rounds exactly as Below compares them.
constexpr double Lane_Scale = 0x1p500;

// The longest run of the table this pixel may take at reference index m, as its level, or -1.
template <typename Arithmetic>
__device__ __forceinline__ int Longest_Run(const Deep_Launch& P, int m, int Count,
                                           const typename Arithmetic::Delta& Delta)
{
    const int Index = m - P.First_Step;
    if (Index < 0 || !May_Take_Run(P, Delta))
        return -1;
    const Deep_Numbers::Scaled_Complex Scaled_Delta = Arithmetic::To_Scaled(Delta);
    int Best = -1;
    for (int Level = 0; Level < P.Levels; ++Level) {
        if (Level > 0 && (Index & ((1 << Level) - 1)) != 0)
            break;
        const int Entry = Index >> Level;
        if (Entry >= P.Level_Size[Level] || static_cast<long long>(Count) + (1LL << Level) > P.Iterations)
            break;
        if (!Deep_Numbers::Below(Scaled_Delta, P.Table[P.Level_Offset[Level] + Entry].R))
            break;
        Best = Level;
    }
    return Best;
}

// In scaled arithmetic a pixel moves to double once |δ| >= 2^-850, and back below 2^-900: in
// between, δc (below 2^-970 in every view that needs the scaled type) is under half a unit in the
// last place of every sum it enters, so double rounds each step as the scaled type does.
constexpr int Double_From_Exponent = -850;
constexpr double Scaled_Below = 0x1p-900;

__device__ __forceinline__ bool Leave_Arithmetic(const Double_Delta& d, bool Within_Double_Range)
{
    return !Within_Double_Range && Deep_Numbers::Magnitude(d.Re) < Scaled_Below && Deep_Numbers::Magnitude(d.Im) < Scaled_Below;
}
__device__ __forceinline__ bool Leave_Arithmetic(const Deep_Numbers::Scaled_Complex& d, bool)
{
    return d.Exp >= Double_From_Exponent;
}

// A turn's run not yet looked for in the table.
constexpr int Level_Unknown = -2;

// One turn of the walk (a run of the table or one step, then the rebase), for a pixel with budget
// and iterations left. False when the step's candidate escaped. Known_Level, where given, is
// Longest_Run's answer for this very pixel state (the search is the costly part of a short run).
template <typename Arithmetic>
__device__ __forceinline__ bool Walk_Once(const Deep_Launch& P, Pixel_Walk& W, typename Arithmetic::Delta& d,
                                          const typename Arithmetic::Delta& Delta_C, int Known_Level = Level_Unknown)
{
    if (W.m == P.Length) {
        d = Arithmetic::Plus(P.D[W.m], d);
        W.m = 0;
        ++W.Rebases;
    }
    const int Level = Known_Level != Level_Unknown ? Known_Level
                      : P.Approximate             ? Longest_Run<Arithmetic>(P, W.m, W.Count, d)
                                                  : -1;
    if (Level >= 0) {
        const Approximation_Step& Run = P.Table[P.Level_Offset[Level] + ((W.m - P.First_Step) >> Level)];
        Deep_Numbers::Scaled_Complex Next = Run.A * Arithmetic::To_Scaled(d);
        if (P.Mandelbrot)
            Next = Next + Run.B * Arithmetic::To_Scaled(Delta_C);
        d = Arithmetic::From_Scaled(Next);
        W.m += 1 << Level;
        W.Count += 1 << Level;
        W.Skipped += 1 << Level;
    } else {
        d = Arithmetic::Step(d, P.Z[W.m], Delta_C);
        ++W.m;
        double Dr, Di;
        Arithmetic::To_Double(d, Dr, Di);
        const double Zr = P.Z[W.m].Re + Dr, Zi = P.Z[W.m].Im + Di;
        if (!(Zr * Zr + Zi * Zi < P.Bound)) {
            W.Escaped = true;
            W.Zr = Zr;
            W.Zi = Zi;
            return false;
        }
        ++W.Count;
        ++W.Stepped;
    }
    // A reference that repeats goes on from the same point a period back: the same Z and D, so the
    // walk is the one along the whole orbit.
    if (P.Period > 0 && W.m == P.Length)
        W.m -= P.Period;
    // Back to the reference's start when the pixel is nearer to it than to the reference's
    // current point: z - Z(0) = D(m) + δ is then the smaller difference.
    if (W.m < P.Length) {
        const typename Arithmetic::Delta From_Start = Arithmetic::Plus(P.D[W.m], d);
        if (Arithmetic::Smaller(From_Start, d)) {
            d = From_Start;
            W.m = 0;
            ++W.Rebases;
        }
    }
    return true;
}

// Steps the pixel until it escapes, reaches the count, spends its budget, or (in a view past
// double's range) its δ leaves the range this arithmetic is used for.
template <typename Arithmetic>
__device__ __forceinline__ void Walk(const Deep_Launch& P, Pixel_Walk& W, typename Arithmetic::Delta& d,
                                     const typename Arithmetic::Delta& Delta_C, bool Within_Double_Range)
{
    for (; W.Budget > 0 && W.Count < P.Iterations; --W.Budget) {
        if (Leave_Arithmetic(d, Within_Double_Range) || !Walk_Once<Arithmetic>(P, W, d, Delta_C))
            return;
    }
}

__device__ __forceinline__ void Finish_Pixel(const Deep_Launch& P, int Pixel, const Pixel_Walk& W,
                                             const Deep_Numbers::Scaled_Complex& Offset)
{
    P.Counts[Pixel] = W.Count;
    if (!W.Escaped) {
        P.Smooth[Pixel] = static_cast<float>(W.Count);
        return;
    }
    double Cr = P.Constant.Re, Ci = P.Constant.Im;
    if (P.Mandelbrot) {
        double Or, Oi;
        Deep_Numbers::To_Double(Offset, Or, Oi);
        Cr += Or;
        Ci += Oi;
    }
    P.Smooth[Pixel] = Smooth_Count(W.Zr, W.Zi, Cr, Ci, W.Count);
}

constexpr int Deep_Block_Threads = 128;

} // namespace Kestrine_Deep
