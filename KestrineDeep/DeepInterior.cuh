// The interior probe of deep Mandelbrot pictures (views in double): a pixel whose c has an attracting
// cycle never escapes, and counts as such without walking to the last iteration.
//
// Why that is exact: by Fatou's theorem an attracting cycle of z^2 + c attracts the critical point 0,
// so the orbit of 0, which is the pixel's, stays bounded for ever. The probe looks for the cycle with
// Newton's method on f^p(w) = w and accepts it only when the cycle provably attracts (see Verify). An
// escaping c has no attracting cycle at all, so what could mislead the probe is rounding alone, which
// the bound it adds to the residual covers with a wide margin.
//
// Where the probe looks: the orbit of a c inside a hyperbolic component of period p comes back near 0
// every p steps, closer than ever before (the atom domain's period), and ever nearer to where it was
// p steps earlier. The lanes report each such new closest approach, with its count as the candidate
// period; once the orbit comes back within a share of its distance from 0, Newton's method starts
// from there.
//
// One probe also clears the pixels around it: the multiplier maps the component conformally onto the
// unit disk, so by Koebe's quarter theorem the disk of radius (1 - |λ|^2) / (4 |dλ/dc|) about c lies in
// the component. The renderer takes the pixels on ever finer grids, and a pixel within a disk found on
// a coarser grid is finished at once; one beside such a pixel starts Newton's method from its cycle.
#pragma once

#include "DeepKernels.cuh"

namespace Kestrine_Deep {

// A new closest approach to 0 below this share of the last one's |z|^2 is a new candidate period.
constexpr double New_Candidate_Share = 0.25;
// The orbit is worth a probe once it comes back within this share of |Mark|^2 of the mark.
constexpr double Return_Share = 0.01;
// ... and within this share of its last return's |z - Mark|^2 (a thousandth closer in modulus).
constexpr double Closing_Share = 0.998;
// No cycle walks past this period: a probe must stay within a launch's few milliseconds.
constexpr int Longest_Probed_Period = 1 << 16;
constexpr int Newton_Steps = 8;
constexpr int Max_Count = 2147483647;

// What the probe keeps of a pixel's orbit between the lanes' events (and, in Pixel_State, launches).
struct Probe_Watch {
    int Period = 0;  // the candidate period, 0 before the first
    int Target = 0;  // the count at which z is compared with Mark
    double Mark_Re = 0, Mark_Im = 0;
    double Bar = 0;  // a new candidate must bring |z|^2 below this; 0 for a pixel not watched
    // |z - Mark|^2 at the last comparison (not kept between launches): an orbit that does not come
    // nearer from one period to the next is not worth a probe.
    double Last_Return = INFINITY;
};

// An attracting cycle found by the probe: its point near 0 (the Newton start of the pixels beside),
// its least period, and the radius in columns of the disk about the pixel that is inside the set.
struct Found_Cycle {
    double Re = 0, Im = 0;
    int Period = 0;
    float Radius = 0;
    // When Newton's method settled on a repelling cycle instead: the period of the satellite component
    // its multiplier's angle points to (p n for an angle near k / n), 0 when none.
    int Satellite = 0;
};

// f^p(w) and its derivatives for the pixel's c, walked against the reference from Z(0) = 0 as the
// pixels themselves walk (perturbation, rebases to the reference's start), without the table.
struct Cycle_Walk {
    double Zr, Zi;   // f^p(w)
    double Lr, Li;   // λ = (f^p)'(w)
    double Zzr, Zzi; // (f^p)''(w)
    double Cr, Ci;   // ∂f^p/∂c (w)
    double Czr, Czi; // ∂²f^p/∂c∂z (w)
    double Error;    // a bound on the rounding in f^p(w)
    int Least_Period; // the least k dividing p whose z_k lies within |w| / 2 of w
};

__device__ __forceinline__ double Modulus(double Re, double Im)
{
    return sqrt(Re * Re + Im * Im);
}

// The walk of p steps from w; false when the orbit leaves the escape radius (no cycle there).
template <bool With_Bounds>
__device__ __forceinline__ bool Walk_Cycle(const Deep_Launch& P, double Wr, double Wi, const Double_Delta& dc, int p,
                                           Cycle_Walk& Out)
{
    Double_Delta d{Wr, Wi};
    int m = 0;
    double Zr = Wr, Zi = Wi; // z_k, here Z(0) + δ with Z(0) = 0
    double Lr = 1, Li = 0, Zzr = 0, Zzi = 0, Cr = 0, Ci = 0, Czr = 0, Czi = 0, Error = 0;
    const double W2 = Wr * Wr + Wi * Wi, Dc = Deep_Numbers::Magnitude(dc.Re) + Deep_Numbers::Magnitude(dc.Im);
    Out.Least_Period = p;
    for (int k = 1; k <= p; ++k) {
        if (With_Bounds) {
            // d/dz and d/dc of z_{k+1} = z_k^2 + c, each from the values before this step.
            const double Tr = 2 * (Cr * Lr - Ci * Li + Zr * Czr - Zi * Czi), Ti = 2 * (Cr * Li + Ci * Lr + Zr * Czi + Zi * Czr);
            Czr = Tr, Czi = Ti;
            const double Ur = 2 * (Lr * Lr - Li * Li + Zr * Zzr - Zi * Zzi), Ui = 2 * (2 * Lr * Li + Zr * Zzi + Zi * Zzr);
            Zzr = Ur, Zzi = Ui;
            const double Vr = 2 * (Zr * Cr - Zi * Ci) + 1, Vi = 2 * (Zr * Ci + Zi * Cr);
            Cr = Vr, Ci = Vi;
            const double Z_Size = Deep_Numbers::Magnitude(P.Z[m].Re) + Deep_Numbers::Magnitude(P.Z[m].Im);
            const double D_Size = Deep_Numbers::Magnitude(d.Re) + Deep_Numbers::Magnitude(d.Im);
            Error = 2 * Modulus(Zr, Zi) * Error + 0x1p-49 * (Z_Size * D_Size + D_Size * D_Size + Dc);
        }
        const double Nr = 2 * (Zr * Lr - Zi * Li), Ni = 2 * (Zr * Li + Zi * Lr);
        Lr = Nr, Li = Ni;
        d = Double_Arithmetic::Step(d, P.Z[m], dc);
        ++m;
        Zr = P.Z[m].Re + d.Re, Zi = P.Z[m].Im + d.Im;
        const double Norm = Zr * Zr + Zi * Zi;
        if (!(Norm < P.Bound))
            return false;
        if (m == P.Length || Norm < d.Re * d.Re + d.Im * d.Im) {
            d = Double_Delta{Zr, Zi};
            m = 0;
            if (With_Bounds)
                Error += 0x1p-51 * (Deep_Numbers::Magnitude(Zr) + Deep_Numbers::Magnitude(Zi));
        }
        if (With_Bounds && k < p && Out.Least_Period == p && p % k == 0 &&
            4 * ((Zr - Wr) * (Zr - Wr) + (Zi - Wi) * (Zi - Wi)) < W2)
            Out.Least_Period = k;
    }
    Out.Zr = Zr, Out.Zi = Zi, Out.Lr = Lr, Out.Li = Li, Out.Zzr = Zzr, Out.Zzi = Zzi;
    Out.Cr = Cr, Out.Ci = Ci, Out.Czr = Czr, Out.Czi = Czi, Out.Error = Error;
    return true;
}

// Whether w is, beyond doubt, within reach of an attracting cycle of period p: Kantorovich's theorem
// puts a root of G(w) = f^p(w) - w within 2η of w, η = |G(w)| / |G'(w)| with the rounding bound added
// to |G(w)|, when K η / |G'(w)| <= 1/2 for a bound K of |G''| near w; its multiplier then differs from
// λ by at most K 2η. K is twice |G''(w)| (η is far below the scale on which G'' changes), and the
// multiplier must stay below 1 by the margin on top: rounding cannot carry a repelling or indifferent
// cycle across it.
__device__ __forceinline__ bool Verify(const Deep_Launch& P, const Cycle_Walk& V, double Wr, double Wi, bool Disk,
                                       Found_Cycle& Out)
{
    const double Gr = V.Lr - 1, Gi = V.Li;
    const double Beta = 1 / Modulus(Gr, Gi);
    const double Eta = Beta * (Modulus(V.Zr - Wr, V.Zi - Wi) + V.Error);
    const double K = 2 * Modulus(V.Zzr, V.Zzi);
    const double Lambda = Modulus(V.Lr, V.Li);
    if (!(K * Beta * Eta <= 0.25) || !(Lambda + 2 * K * Eta <= 1 - 0x1p-30))
        return false;
    Out.Re = Wr, Out.Im = Wi;
    Out.Radius = 0;
    if (Disk) {
        // dλ/dc = ∂λ/∂c + ∂λ/∂w dw/dc, with dw/dc = ∂f^p/∂c / (1 - λ) along the cycle.
        const double Ar = 1 - V.Lr, Ai = -V.Li, A2 = Ar * Ar + Ai * Ai;
        const double Qr = (V.Cr * Ar + V.Ci * Ai) / A2, Qi = (V.Ci * Ar - V.Cr * Ai) / A2;
        const double Dr = V.Czr + V.Zzr * Qr - V.Zzi * Qi, Di = V.Czi + V.Zzr * Qi + V.Zzi * Qr;
        // Koebe's quarter, and a tenth less for the rounding in the derivatives.
        const double Radius = 0.9 * (1 - Lambda * Lambda) / (4 * Modulus(Dr, Di)) / Deep_Numbers::To_Double(P.Spacing);
        if (Radius > 1 && Radius < 1e9)
            Out.Radius = static_cast<float>(Radius);
    }
    return true;
}

// A repelling p-cycle whose multiplier has turned by about k / n of a full turn is where the satellite
// component of period p n branched off: its orbits pass near the cycle, n times a period.
__device__ __forceinline__ int Satellite_Period(int p, double Turn)
{
    for (int n = 2; n <= 16; ++n) {
        const double Off = n * Turn - floor(n * Turn + 0.5);
        if (Off * Off < 0.0036 && p <= Max_Count / n)
            return p * n;
    }
    return 0;
}

// Newton's method for a cycle of period p from w, a point of the pixel's orbit near 0 (or a cycle point
// of a pixel beside it). Adds the steps walked to Steps.
__device__ __forceinline__ bool Find_Attracting_Cycle(const Deep_Launch& P, const Double_Delta& dc, double Wr, double Wi,
                                                      int p, bool Disk, Found_Cycle& Out, int& Steps)
{
    if (p < 1 || p > Longest_Probed_Period || p > P.Iterations)
        return false;
    double Last = 0;
    for (int Turn = 0; Turn < Newton_Steps; ++Turn) {
        Cycle_Walk C;
        Steps += p;
        if (!Walk_Cycle<false>(P, Wr, Wi, dc, p, C))
            return false;
        // Where the orbit only lingers (near a repelling cycle) the derivative is already large.
        if (Turn == 0 && !(C.Lr * C.Lr + C.Li * C.Li < 2.25))
            return false;
        const double Gr = C.Lr - 1, Gi = C.Li, G2 = Gr * Gr + Gi * Gi;
        const double Fr = C.Zr - Wr, Fi = C.Zi - Wi;
        const double Hr = (Fr * Gr + Fi * Gi) / G2, Hi = (Fi * Gr - Fr * Gi) / G2;
        const double Step2 = Hr * Hr + Hi * Hi, W2 = Wr * Wr + Wi * Wi;
        // Converged: the step is below rounding, or has stopped shrinking far below |w|.
        const bool Converged = Step2 < 1e-24 * W2 || (Turn > 0 && Step2 > Last / 4 && Step2 < 1e-12 * W2);
        // Far from the root, or only creeping towards it (a double root: the cycle is nearly parabolic,
        // too weakly attracting to prove so anyway).
        if (!Converged && (!(Step2 < W2) || (Turn > 1 && Step2 > Last / 4)))
            return false;
        Last = Step2;
        Wr -= Hr, Wi -= Hi;
        if (Converged) {
            Cycle_Walk V;
            Steps += p;
            if (!Walk_Cycle<true>(P, Wr, Wi, dc, p, V))
                return false;
            if (V.Least_Period < p) {
                p = V.Least_Period;
                Steps += p;
                if (!Walk_Cycle<true>(P, Wr, Wi, dc, p, V))
                    return false;
            }
            Out.Period = p;
            if (Verify(P, V, Wr, Wi, Disk, Out))
                return true;
            if (V.Lr * V.Lr + V.Li * V.Li > 1)
                Out.Satellite = Satellite_Period(p, atan2(V.Li, V.Lr) * 0.15915494309189535);
            return false;
        }
    }
    return false;
}

// The watch's rules, at a lane's events. A new closest approach to 0 (|z|^2 < Bar) at count n makes n
// the candidate period, with the mark at z and the first comparison n steps on.
__device__ __forceinline__ int Count_After(int Count, int Steps)
{
    return Count <= Max_Count - Steps ? Count + Steps : Max_Count;
}

__device__ __forceinline__ void New_Candidate(Probe_Watch& Watch, int Count, double Zr, double Zi)
{
    Watch.Period = Count;
    Watch.Target = Count_After(Count, Count);
    Watch.Mark_Re = Zr, Watch.Mark_Im = Zi;
    Watch.Bar = New_Candidate_Share * (Zr * Zr + Zi * Zi);
}

// At count Target: whether z came back near the mark, and nearer than a period before, worth a probe.
// The mark moves on to z, the next comparison a period on. Where the orbit creeps towards its cycle
// (|λ| within a thousandth of 1) Newton's method creeps too, and no probe could prove the cycle
// attracting: those orbits are left to walk.
__device__ __forceinline__ bool Returned(Probe_Watch& Watch, int Count, double Zr, double Zi)
{
    const double Er = Zr - Watch.Mark_Re, Ei = Zi - Watch.Mark_Im, Return = Er * Er + Ei * Ei;
    const bool Near = Return < Return_Share * (Watch.Mark_Re * Watch.Mark_Re + Watch.Mark_Im * Watch.Mark_Im) &&
                      Return < Closing_Share * Watch.Last_Return;
    Watch.Last_Return = Return;
    Watch.Mark_Re = Zr, Watch.Mark_Im = Zi;
    Watch.Bar = New_Candidate_Share * (Zr * Zr + Zi * Zi);
    Watch.Target = Count_After(Count, Watch.Period);
    return Near;
}

// The mark starts again at z, the count n, with the next comparison a period on.
__device__ __forceinline__ void Restart_Mark(Probe_Watch& Watch, int Count, double Zr, double Zi)
{
    Watch.Mark_Re = Zr, Watch.Mark_Im = Zi;
    Watch.Target = Count_After(Count, Watch.Period);
    Watch.Bar = New_Candidate_Share * (Zr * Zr + Zi * Zi);
}

// After a probe that found a repelling cycle: the satellite's period next, when a probe of it would
// cost no more than the iterations left; else no more comparisons (a new candidate may still come).
__device__ __forceinline__ void Try_Satellite(Probe_Watch& Watch, int Count, int Iterations, int Satellite)
{
    if (Satellite > 0 && Satellite <= (Iterations - Count) / (Newton_Steps + 2)) {
        Watch.Period = Satellite;
        Watch.Target = Count_After(Count, Satellite);
    } else {
        Watch.Target = Max_Count;
    }
}

// After a probe that found nothing: the next comparison once the pixel has walked as many steps again
// as it has so far, and at least as many as a probe may cost, a whole number of periods on; so a pixel
// that no probe settles spends at most about as many steps on probes as on its walk.
__device__ __forceinline__ void Back_Off(Probe_Watch& Watch, int Count)
{
    const int Least = Count > (Newton_Steps + 2) * Watch.Period ? Count : (Newton_Steps + 2) * Watch.Period;
    const int Periods = Least / Watch.Period;
    Watch.Target = Periods <= Max_Count / Watch.Period ? Count_After(Count, Periods * Watch.Period) : Max_Count;
}

// The watch as a pixel's state keeps it between launches, and back.
__device__ __forceinline__ Probe_Watch Load_Watch(const Pixel_State& S)
{
    Probe_Watch Watch;
    Watch.Period = S.Period, Watch.Target = S.Target;
    Watch.Mark_Re = S.Mark_Re, Watch.Mark_Im = S.Mark_Im;
    Watch.Bar = S.Period > 0 ? New_Candidate_Share * (Watch.Mark_Re * Watch.Mark_Re + Watch.Mark_Im * Watch.Mark_Im)
                             : Watch.Mark_Re;
    return Watch;
}

__device__ __forceinline__ void Store_Watch(const Probe_Watch& Watch, Pixel_State& S)
{
    S.Period = Watch.Period, S.Target = Watch.Target;
    S.Mark_Re = static_cast<float>(Watch.Period > 0 ? Watch.Mark_Re : Watch.Bar);
    S.Mark_Im = static_cast<float>(Watch.Mark_Im);
}

} // namespace Kestrine_Deep
