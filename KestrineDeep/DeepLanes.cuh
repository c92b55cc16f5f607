// The deep walk of several pixels at once: each lane a pixel, a lane whose pixel is over for this
// launch taking the next pixel of the call's slots at once, so that no lane waits for the slowest.
// On a GPU a thread has one lane and one slot; on the software device a call serves a run of blocks'
// slots with Lane_Count lanes (DeepLaneTypes.cuh).
//
// The lanes take the plain steps in double: the step, the escape test and the rebase, each lane in
// exactly the operations of the scalar walk (Walk_Once) for its pixel. Every other turn (a run of the
// table, the scaled type, the reference's end) is rare, and the lane's pixel takes it on the scalar
// path (Pixel_Run) and comes back; so a pixel gets the same count and smooth count in lanes of any
// width as alone.
//
// The lanes also stop pixels caught by an attracting cycle (Interior_Check), which then count as never
// escaping, as walking them to the last iteration would have found.
#pragma once

#include "DeepLaneTypes.cuh"
#include "DeepPixel.cuh"

DEEP_LANE_CODE_BEGIN

// The interior check, after Brent's cycle finding. The orbit z_k of the pixel is compared with a
// checkpoint z_s, moved on after 1, 2, 4, ... steps; meanwhile the multiplier λ_k = (f^k)'(z_s) =
// Π 2 z_i (the same for Julia and Mandelbrot: f(z) = z^2 + c) is kept, with T = Σ |λ_k|^2 / |z_k|^2
// over the checkpoint's steps k < p. At a step j = s + p the pixel is interior when
//     |λ_p| <= 1/4,   |z_j - z_s|^2 <= 1 / (16 max(p, 16) T),   (25/16) max |z_k|^2 < the escape bound.
// Why that traps the orbit: for w within r = 1 / (2 sqrt(max(p, 16) T)) of z_s, |f^k(w) - z_k| <= M_k r
// with M_k+1 = M_k (2 |z_k| + M_k r), so M_k <= |λ_k| Π (1 + r |λ_i| / |z_i|) <= |λ_k| e^(r sqrt(p T))
// < 2 |λ_k| (Cauchy-Schwarz: Σ |λ_i| / |z_i| <= sqrt(p T)), and r |λ_k| / |z_k| <= r sqrt(T) <= 1/8: f^k
// maps the disk into one about z_k of radius at most |z_k| / 4. So f^p maps it into the disk of radius
// 2 |λ_p| r <= r / 2 about z_j, which lies within r / 2 of z_s: f^p maps the disk into itself, and the
// orbit stays for ever within 5/4 |z_k| of the points it has passed, all below the escape bound. An
// escaping orbit cannot meet these conditions; what remains is rounding, in the z_k computed (about
// 2^-52 |z| each, which the test adds to |z_j - z_s| in full) and in the products and sums taken as
// exact, all far smaller than the factors of 2 the argument leaves spare. The tolerance is the orbit's
// own scale, not the pixel spacing: after a close pass by the critical point 0 (small |z_k| after large
// |λ_k|) T is large and the check waits, and that is where an escaping orbit lingers near a cycle.
// Pixels whose cycle attracts weakly (|λ| near 1) converge too slowly to be caught within a few
// thousand iterations; they walk on to the last one, as without the check.
constexpr double Largest_Multiplier_Squared = 1.0 / 16;
constexpr double Rounding_Share = 0x1p-96;       // (4 units in the last place)^2 of |z|^2
constexpr double Disk_Growth_Squared = 25.0 / 16;

__device__ __forceinline__ Lane_Double Broadcast(double Value)
{
#if defined(__CUDACC__)
    return Value;
#else
    Lane_Double v;
    for (int i = 0; i < Lane_Count; ++i)
        v[i] = Value;
    return v;
#endif
}

struct Lane_Walk {
    Lane_Double Dr, Di, Cr, Ci, Zr, Zi; // δ, δc, Z(m)
    // Every kept step adds one to the count and to the steps taken and takes one from the budget, so
    // one number stands for all three: the steps the lane may still take before its pixel is over
    // (Limit). An escaping step leaves δ and m as they were, so the escape point is found again
    // from them when the pixel is given back.
    Lane_Long m, Left, Rebases;
    Lane_Long Live, Escaped, Interior;
    // The interior check: z now, the checkpoint, the multiplier since it, and the bounds over it.
    Lane_Double Xr, Xi, Xn2, Sr, Si, Sn2, Der_r, Der_i, Der2, T, Zmax2, Since, Window;

    // Lanes whose next turn is not a plain step in double (Pixel_Run::Lanes_Take_Next, lane by lane).
    template <bool Scaled>
    __device__ __forceinline__ Lane_Long Needs_Scalar(const Deep_Launch& P) const
    {
        Lane_Long Alone = Is(m == P.Length);
        if (P.Approximate)
            Alone |= Is(m >= P.First_Step) & Is(Dr * Dr + Di * Di < P.Largest_Radius_Squared);
        if (Scaled)
            Alone |= Is(Lane_Magnitude(Dr) < Scaled_Below) & Is(Lane_Magnitude(Di) < Scaled_Below);
        return Live & Alone;
    }

    // One step of every live lane: Walk_Once's step, escape test and rebase.
    __device__ __forceinline__ void Step(const Deep_Launch& P, const Lane_Double& Z0r, const Lane_Double& Z0i)
    {
        Lane_Double Nr, Ni;
        Perturbation_Step(Dr, Di, Zr, Zi, Cr, Ci, Nr, Ni);
        const Lane_Long Next = m + 1;
        Lane_Double Next_Zr, Next_Zi;
        Gather(P.Z, Next, Next_Zr, Next_Zi);
        const Lane_Double Re = Next_Zr + Nr, Im = Next_Zi + Ni;
        const Lane_Double Norm = Re * Re + Im * Im;
        const Lane_Long Accepted = Live & Is(Norm < P.Bound);
        Escaped |= Live & ~Accepted;
        Left += Accepted; // a true mask is -1
        // The rebase test on the kept candidate δ = N at Z(m + 1), as Walk_Once makes it after taking
        // the step: the same operands, so the same result, but tested beside the escape test rather
        // than after it. D(m) is Z(m) for Mandelbrot, whose reference starts at 0: Z(m + 1) + δ is then
        // the candidate z itself.
        Lane_Double Fr = Re, Fi = Im, From_Start = Norm;
        if (!P.Mandelbrot) {
            Lane_Double Or, Oi;
            Gather(P.D, Next, Or, Oi);
            Fr = Or + Nr;
            Fi = Oi + Ni;
            From_Start = Fr * Fr + Fi * Fi;
        }
        const Lane_Long Nearer = Accepted & Is(Next < P.Length) & Is(From_Start < Nr * Nr + Ni * Ni);
        const Lane_Long Moved = Accepted & ~Nearer;
        Dr = Select(Nearer, Fr, Select(Moved, Nr, Dr));
        Di = Select(Nearer, Fi, Select(Moved, Ni, Di));
        Zr = Select(Nearer, Z0r, Select(Moved, Next_Zr, Zr));
        Zi = Select(Nearer, Z0i, Select(Moved, Next_Zi, Zi));
        m = Select(Nearer, Lane_Long{}, Select(Moved, Next, m));
        Rebases -= Nearer;
        if (P.Interior_Check)
            Check_Interior(P, Accepted, Re, Im, Norm);
    }

    // After step j's candidate z_j = (Re, Im) was kept: the bounds take in z_j-1, the multiplier
    // moves on, and z_j is compared with the checkpoint (see above).
    __device__ __forceinline__ void Check_Interior(const Deep_Launch& P, const Lane_Long& Accepted, const Lane_Double& Re,
                                                   const Lane_Double& Im, const Lane_Double& Norm)
    {
        T = T + Der2 / Xn2;
        Zmax2 = Lane_Maximum(Zmax2, Xn2);
        const Lane_Double Tr = Der_r * Xr - Der_i * Xi, Ti = Der_r * Xi + Der_i * Xr;
        Der_r = Tr + Tr;
        Der_i = Ti + Ti;
        Der2 = Der_r * Der_r + Der_i * Der_i;
        Xr = Re;
        Xi = Im;
        Xn2 = Norm;
        Since = Since + 1.0;
        const Lane_Long May = Accepted & Is(Der2 <= Largest_Multiplier_Squared);
        if (Any(May)) {
            const Lane_Double Er = Re - Sr, Ei = Im - Si;
            const Lane_Double Return2 = 2 * (Er * Er + Ei * Ei + (Norm + Sn2) * Rounding_Share);
            const Lane_Double Period = Lane_Maximum(Broadcast(16), Since);
            Interior |= May & Is(Return2 * (16 * Period) * T < 1) & Is(Zmax2 * Disk_Growth_Squared < P.Bound);
        }
        const Lane_Long At_Checkpoint = Accepted & Is(Since == Window);
        if (Any(At_Checkpoint)) {
            Sr = Select(At_Checkpoint, Xr, Sr);
            Si = Select(At_Checkpoint, Xi, Si);
            Sn2 = Select(At_Checkpoint, Xn2, Sn2);
            Window = Select(At_Checkpoint, Window + Window, Window);
            Restart_Check(At_Checkpoint);
        }
    }

    // The multiplier and the bounds begin again at the checkpoint.
    __device__ __forceinline__ void Restart_Check(const Lane_Long& Lanes)
    {
        Der_r = Select(Lanes, Broadcast(1), Der_r);
        Der_i = Select(Lanes, Broadcast(0), Der_i);
        Der2 = Select(Lanes, Broadcast(1), Der2);
        T = Select(Lanes, Broadcast(0), T);
        Zmax2 = Select(Lanes, Broadcast(0), Zmax2);
        Since = Select(Lanes, Broadcast(0), Since);
    }

    __device__ __forceinline__ Lane_Long Over() const
    {
        return Live & (Escaped | Interior | Is(Left <= 0));
    }

    // Steps every live lane until some lane's pixel is over or needs the scalar path. On a copy, so
    // that the compiler keeps the lanes in registers: nothing here reaches a lane by its index.
    template <bool Scaled>
    __device__ __forceinline__ void Step_Until_Turn(const Deep_Launch& P, const Lane_Double& Z0r, const Lane_Double& Z0i)
    {
        Lane_Walk Lanes = *this;
        while (!Any(Lanes.Needs_Scalar<Scaled>(P))) {
            Lanes.Step(P, Z0r, Z0i);
            if (Any(Lanes.Over()))
                break;
        }
        *this = Lanes;
    }

    // Lane i takes Run's pixel, with a checkpoint at its z.
    template <bool Scaled>
    __device__ __forceinline__ void Take(const Deep_Launch& P, const Pixel_Run<Scaled>& Run, int i)
    {
        const Orbit_Point Z = P.Z[Run.W.m];
        Put(Dr, i, Run.d.Re);
        Put(Di, i, Run.d.Im);
        Put(Cr, i, Run.Double_C.Re);
        Put(Ci, i, Run.Double_C.Im);
        Put(Zr, i, Z.Re);
        Put(Zi, i, Z.Im);
        Put(m, i, static_cast<long long>(Run.W.m));
        Put(Left, i, Limit(P, Run));
        Put(Rebases, i, static_cast<long long>(Run.W.Rebases));
        Put(Live, i, -1LL);
        Put(Escaped, i, 0LL);
        Put(Interior, i, 0LL);
        const double Re = Z.Re + Run.d.Re, Im = Z.Im + Run.d.Im;
        Put(Xr, i, Re);
        Put(Xi, i, Im);
        Put(Xn2, i, Re * Re + Im * Im);
        Put(Sr, i, Re);
        Put(Si, i, Im);
        Put(Sn2, i, Re * Re + Im * Im);
        Put(Window, i, 1.0);
        Lane_Long Only_This = Lane_Long{};
        Put(Only_This, i, -1LL);
        Restart_Check(Only_This);
    }

    // Lane i's pixel back to Run.
    template <bool Scaled>
    __device__ __forceinline__ void Give(const Deep_Launch& P, Pixel_Run<Scaled>& Run, int i) const
    {
        Run.d = Double_Delta{Get(Dr, i), Get(Di, i)};
        Run.W.m = static_cast<int>(Get(m, i));
        const int Taken = static_cast<int>(Limit(P, Run) - Get(Left, i));
        Run.W.Count += Taken;
        Run.W.Stepped += Taken;
        Run.W.Budget -= Taken;
        Run.W.Rebases = static_cast<int>(Get(Rebases, i));
        Run.W.Escaped = Get(Escaped, i) != 0;
        if (Run.W.Escaped) {
            double Nr, Ni;
            Perturbation_Step(Run.d.Re, Run.d.Im, P.Z[Run.W.m].Re, P.Z[Run.W.m].Im, Get(Cr, i), Get(Ci, i), Nr, Ni);
            Run.W.Zr = P.Z[Run.W.m + 1].Re + Nr;
            Run.W.Zi = P.Z[Run.W.m + 1].Im + Ni;
        }
        if (Get(Interior, i) != 0)
            Run.W.Count = P.Iterations; // never escapes: what the whole walk would have counted
    }

    // The steps Run's pixel may take in lanes: to its budget's end or the last iteration. Fixed while
    // the pixel is in a lane, whose Run keeps the counts it had when it came in.
    template <bool Scaled>
    static __device__ __forceinline__ long long Limit(const Deep_Launch& P, const Pixel_Run<Scaled>& Run)
    {
        const long long To_Last = static_cast<long long>(P.Iterations) - Run.W.Count;
        return Run.W.Budget < To_Last ? Run.W.Budget : To_Last;
    }

    // An empty lane: index 0, so that its gathers stay within the orbit.
    __device__ __forceinline__ void Empty(int i)
    {
        Put(Live, i, 0LL);
        Put(m, i, 0LL);
    }
};

// Lane i takes the next slot of [Next, Last) whose pixel is not over after its scalar turns; the
// pixels over before that are written back. Empty when no slot is left.
template <bool Scaled>
__device__ __forceinline__ void Fill(const Deep_Launch& P, Lane_Walk& L, Pixel_Run<Scaled>& Run, int i, int& Next,
                                     int Last)
{
    while (Next < Last) {
        if (!Run.Begin(P, Next++))
            continue;
        Run.Walk_Alone(P);
        if (!Run.Over(P)) {
            L.Take(P, Run, i);
            return;
        }
        Run.End(P);
    }
    L.Empty(i);
}

// Advances the pixels of slots [First, Last) of the launch's list by at most the launch's budget each.
template <bool Scaled>
__device__ __forceinline__ void Advance_Slots(const Deep_Launch& P, int First, int Last)
{
    Pixel_Run<Scaled> Runs[Lane_Count];
    Lane_Walk L{};
    const Lane_Double Z0r = Broadcast(P.Z[0].Re), Z0i = Broadcast(P.Z[0].Im);
    int Next = First;
    for (int i = 0; i < Lane_Count; ++i)
        Fill(P, L, Runs[i], i, Next, Last);
    while (Any(L.Live)) {
        L.Step_Until_Turn<Scaled>(P, Z0r, Z0i);
        const Lane_Long Over = L.Over();
        for (int i = 0; i < Lane_Count; ++i) {
            if (Get(Over, i) == 0)
                continue;
            L.Give(P, Runs[i], i);
            Runs[i].End(P);
            Fill(P, L, Runs[i], i, Next, Last);
        }
        const Lane_Long Alone = L.Needs_Scalar<Scaled>(P);
        for (int i = 0; i < Lane_Count; ++i) {
            if (Get(Alone, i) == 0)
                continue;
            L.Give(P, Runs[i], i);
            Runs[i].Walk_Alone(P);
            if (!Runs[i].Over(P)) {
                L.Take(P, Runs[i], i);
                continue;
            }
            Runs[i].End(P);
            Fill(P, L, Runs[i], i, Next, Last);
        }
    }
}

DEEP_LANE_CODE_END
