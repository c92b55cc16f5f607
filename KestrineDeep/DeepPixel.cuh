// One pixel of a deep launch on the scalar path: its state read, walked turn by turn as DeepKernels.cuh
// walks it, probed for an attracting cycle (DeepInterior.cuh), and written back with its count and
// smooth count once it has finished.
#pragma once

#include "DeepInterior.cuh"
#include "DeepKernels.cuh"

namespace Kestrine_Deep {

// What the finished pixels of the coarser grid about a pixel tell of it: one of their disks holds
// it, one of them knows a cycle to start Newton's method from, or one never escaped without a cycle
// found (so the pixel is worth watching).
struct Corner_Finding {
    const Pixel_State* Covering = nullptr;
    const Pixel_State* Cycle = nullptr;
    bool Never_Escaped = false;
};

__device__ __forceinline__ Corner_Finding Look_At_Corners(const Deep_Launch& P, int x, int y)
{
    Corner_Finding Out;
    const int Grid = 2 * P.Stride;
    const int X0 = x - x % Grid, Y0 = y - y % Grid;
    for (int Cy = Y0; Cy <= Y0 + Grid && Cy < P.H; Cy += Grid)
        for (int Cx = X0; Cx <= X0 + Grid && Cx < P.W; Cx += Grid) {
            const Pixel_State& C = P.States[Cy * P.W + Cx];
            if (C.Phase != Finished || C.Count != P.Iterations)
                continue;
            if (C.Period == 0) {
                Out.Never_Escaped = true;
                continue;
            }
            Out.Cycle = &C;
            const double Dx = x - C.Step % P.W, Dy = (y - C.Step / P.W) * P.Row_Ratio;
            if (Dx * Dx + Dy * Dy < static_cast<double>(C.Mark_Re) * C.Mark_Re)
                Out.Covering = &C;
        }
    return Out;
}

// One pixel of a launch's list on the scalar path: read from its state, walked, and written back.
// Scaled says whether the view is past double's range; its pixels then walk in scaled arithmetic
// while δ is that small.
template <bool Scaled>
struct Pixel_Run {
    int Slot, Pixel;
    Deep_Numbers::Scaled_Complex Offset, Scaled_C;
    Double_Delta Double_C;
    Pixel_Walk W;
    bool In_Double;
    Double_Delta d;
    Deep_Numbers::Scaled_Complex e;
    Probe_Watch Watch;
    bool Inside; // found in an attracting cycle: never escapes
    Found_Cycle Cycle;
    int Cycle_Centre; // the pixel whose probe found Cycle's disk

    // Reads the pixel of Slot; false, its slot marked done, for a pixel that has finished (before this
    // launch, or now because the pixels about it show it is inside the set).
    __device__ __forceinline__ bool Begin(const Deep_Launch& P, int Of_Slot)
    {
        Slot = Of_Slot;
        Pixel = P.Active[Slot];
        Pixel_State& S = P.States[Pixel];
        P.Reports[Slot] = Slot_Report{1, 0, 0, 0};
        if (S.Phase == Finished)
            return false;
        Offset = Pixel_Offset(P, Pixel % P.W, Pixel / P.W);
        Scaled_C = P.Mandelbrot ? Offset : Deep_Numbers::Scaled_Complex{};
        Double_C = Double_Arithmetic::From_Scaled(Scaled_C);
        // The walk starts from a copy: a fresh pixel's state is made there and stored whole, never read
        // back from memory (a read of fields just stored by several writes waits for them to reach the
        // cache, which costs a trip to memory for every pixel of a large picture). The values are those
        // the stored state holds, so the walk is the same.
        Pixel_State Now = S;
        W = Pixel_Walk{Now.Step, Now.Count, 0, 0, 0, P.Budget, false, 0, 0};
        Inside = false;
        if (Now.Phase == Not_Started) {
            Start(P, Now);
            if (Inside) {
                End(P);
                return false;
            }
            S = Now;
        }
        W.m = Now.Step, W.Count = Now.Count;
        // A state in double has Exp 0; one in the scaled type has its mantissas in [1, 2) and an
        // exponent far below.
        In_Double = !Scaled || Now.Exp == 0;
        d = Double_Arithmetic::Load(Now);
        e = Scaled_Arithmetic::Load(Now);
        Watch = Load_Watch(Now);
        P.Reports[Slot].Done = 0;
        return true;
    }

    // A pixel's first turn: its start point, and what the probe makes of it.
    __device__ __forceinline__ void Start(const Deep_Launch& P, Pixel_State& S)
    {
        // Mandelbrot starts at z = 0 = Z(0); Julia at the pixel's point, δ from the centre Z(0).
        const Deep_Numbers::Scaled_Complex First = P.Mandelbrot ? Deep_Numbers::Scaled_Complex{} : Offset;
        if (Scaled && First.Exp < Double_From_Exponent)
            Scaled_Arithmetic::Store(First, S);
        else
            Double_Arithmetic::Store(Double_Arithmetic::From_Scaled(First), S);
        S.Step = S.Count = 0;
        S.Phase = Running;
        Watch = Probe_Watch{};
        if (P.Probe && P.Stride == 0)
            Watch.Bar = INFINITY;
        if (P.Probe && P.Stride > 0) {
            const Corner_Finding Found = Look_At_Corners(P, Pixel % P.W, Pixel / P.W);
            if (Found.Covering) {
                const Pixel_State& C = *Found.Covering;
                Inside = true;
                Cycle = Found_Cycle{C.Re, C.Im, C.Period, C.Mark_Re};
                Cycle_Centre = C.Step;
                return;
            }
            if (Found.Cycle && Probe_From(P, Found.Cycle->Re, Found.Cycle->Im, Found.Cycle->Period))
                return;
            if (Found.Cycle || Found.Never_Escaped)
                Watch.Bar = INFINITY;
        }
        Store_Watch(Watch, S);
    }

    // Newton's method from w with period p; the pixel is inside when it finds an attracting cycle.
    __device__ __forceinline__ bool Probe_From(const Deep_Launch& P, double Wr, double Wi, int p)
    {
        int Steps = 0;
        Cycle = Found_Cycle{};
        Inside = Find_Attracting_Cycle(P, Double_C, Wr, Wi, p, P.Stride != 1, Cycle, Steps);
        Cycle_Centre = Pixel;
        W.Stepped += Steps;
        W.Budget -= Steps;
        return Inside;
    }

    __device__ __forceinline__ bool Over(const Deep_Launch& P) const
    {
        return Inside || W.Escaped || W.Budget <= 0 || W.Count >= P.Iterations;
    }

    // The next turn in double, where lanes could take it (not onto the reference's end, no move to the
    // scaled type): the level of the table's run it takes, or -1 for a plain step, which the lanes take
    // as the scalar walk would. Level_Unknown where lanes could not.
    __device__ __forceinline__ int Next_Turn(const Deep_Launch& P) const
    {
        if (!In_Double || Leave_Arithmetic(d, !Scaled) || W.m >= P.Length - 1)
            return Level_Unknown;
        return P.Approximate ? Longest_Run<Double_Arithmetic>(P, W.m, W.Count, d) : -1;
    }

    // One turn in double (Level: Next_Turn's answer, where known), and what the probe makes of the
    // point it reaches.
    __device__ __forceinline__ void Take_Turn(const Deep_Launch& P, int Level = Level_Unknown)
    {
        if (!Walk_Once<Double_Arithmetic>(P, W, d, Double_C, Level))
            return;
        --W.Budget;
        if (Watch.Bar > 0 || Watch.Period > 0)
            Watch_Point(P, P.Z[W.m].Re + d.Re, P.Z[W.m].Im + d.Im);
    }

    // The probe's rules at z, the point the count has reached: a new candidate period at a new closest
    // approach to 0, the comparison with the mark a period on, and Newton's method when it comes back
    // near. A run of the table may pass the comparison's count; the mark then starts again here.
    __device__ __forceinline__ void Watch_Point(const Deep_Launch& P, double Zr, double Zi)
    {
        if (Zr * Zr + Zi * Zi < Watch.Bar)
            New_Candidate(Watch, W.Count, Zr, Zi);
        if (Watch.Period == 0 || W.Count < Watch.Target || Over(P))
            return;
        if (W.Count > Watch.Target) {
            Restart_Mark(Watch, W.Count, Zr, Zi);
        } else if (Returned(Watch, W.Count, Zr, Zi) && !Probe_From(P, Zr, Zi, Watch.Period)) {
            if (Cycle.Period > 0)
                Try_Satellite(Watch, W.Count, P.Iterations, Cycle.Satellite);
            else
                Back_Off(Watch, W.Count);
        }
    }

    // Walks until the launch is over for the pixel or lanes can take its next turn. Every turn is the
    // scalar walk's, so where the lanes take over changes nothing.
    __device__ __forceinline__ void Walk_Alone(const Deep_Launch& P)
    {
        while (!Over(P)) {
            if (In_Double) {
                const int Turn = Next_Turn(P);
                if (Turn == -1)
                    return;
                if (Leave_Arithmetic(d, !Scaled)) {
                    e = Double_Arithmetic::To_Scaled(d);
                    In_Double = false;
                } else {
                    Take_Turn(P, Turn);
                }
            } else {
                Walk<Scaled_Arithmetic>(P, W, e, Scaled_C, false);
                if (!Over(P)) {
                    d = Double_Arithmetic::From_Scaled(e);
                    In_Double = true;
                }
            }
        }
    }

    // Writes the pixel back; a finished one gets its count and smooth count, and one inside a cycle
    // keeps what the pixels after it learn from it.
    __device__ __forceinline__ void End(const Deep_Launch& P)
    {
        Pixel_State& S = P.States[Pixel];
        Slot_Report& Report = P.Reports[Slot];
        Report.Skipped = W.Skipped, Report.Stepped = W.Stepped, Report.Rebases = W.Rebases;
        if (Inside)
            W.Count = P.Iterations;
        const bool Done = W.Escaped || W.Count >= P.Iterations;
        Report.Done = Done ? 1 : 0;
        if (Inside) {
            S.Re = Cycle.Re, S.Im = Cycle.Im, S.Exp = 0;
            S.Step = Cycle_Centre, S.Period = Cycle.Period, S.Target = 0;
            S.Mark_Re = Cycle.Radius, S.Mark_Im = 0;
        } else {
            if (In_Double)
                Double_Arithmetic::Store(d, S);
            else
                Scaled_Arithmetic::Store(e, S);
            S.Step = W.m;
            Store_Watch(Watch, S);
            if (Done)
                S.Period = 0;
        }
        S.Count = W.Count;
        if (Done) {
            S.Phase = Finished;
            Finish_Pixel(P, Pixel, W, Offset);
        }
    }
};

} // namespace Kestrine_Deep
