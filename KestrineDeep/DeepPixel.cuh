// One pixel of a deep launch on the scalar path: its state read, walked turn by turn as DeepKernels.cuh
// walks it, and written back with its count and smooth count once it has finished.
#pragma once

#include "DeepKernels.cuh"

namespace Kestrine_Deep {

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

    // Reads the pixel of Slot; false, its slot marked done, for a pixel that finished before.
    __device__ __forceinline__ bool Begin(const Deep_Launch& P, int Of_Slot)
    {
        Slot = Of_Slot;
        Pixel = P.Active[Slot];
        Pixel_State& S = P.States[Pixel];
        if (S.Phase == Finished) {
            P.Slot_Done[Slot] = 1;
            return false;
        }
        Offset = Pixel_Offset(P, Pixel % P.W, Pixel / P.W);
        Scaled_C = P.Mandelbrot ? Offset : Deep_Numbers::Scaled_Complex{};
        if (S.Phase == Not_Started) {
            // Mandelbrot starts at z = 0 = Z(0); Julia at the pixel's point, δ from the centre Z(0).
            const Deep_Numbers::Scaled_Complex Start = P.Mandelbrot ? Deep_Numbers::Scaled_Complex{} : Offset;
            if (Scaled && Start.Exp < Double_From_Exponent)
                Scaled_Arithmetic::Store(Start, S);
            else
                Double_Arithmetic::Store(Double_Arithmetic::From_Scaled(Start), S);
            S.Step = S.Count = S.Skipped = S.Stepped = S.Rebases = 0;
            S.Phase = Running;
        }
        W = Pixel_Walk{S.Step, S.Count, S.Skipped, S.Stepped, S.Rebases, P.Budget, false, 0, 0};
        // A state in double has Exp 0; one in the scaled type has its mantissas in [1, 2) and an
        // exponent far below.
        In_Double = !Scaled || S.Exp == 0;
        d = Double_Arithmetic::Load(S);
        e = Scaled_Arithmetic::Load(S);
        Double_C = Double_Arithmetic::From_Scaled(Scaled_C);
        return true;
    }

    __device__ __forceinline__ bool Over(const Deep_Launch& P) const
    {
        return W.Escaped || W.Budget <= 0 || W.Count >= P.Iterations;
    }

    // Whether the next turn is a plain step in double that lanes take as the scalar walk would: no
    // run of the table possible, not at the reference's end, no move to the scaled type.
    __device__ __forceinline__ bool Lanes_Take_Next(const Deep_Launch& P) const
    {
        return In_Double && !Leave_Arithmetic(d, !Scaled) && W.m != P.Length &&
               !(P.Approximate && W.m >= P.First_Step && May_Take_Run(P, d));
    }

    // Walks until the launch is over for the pixel or lanes can take its next turn. Every turn is the
    // scalar walk's, so where the lanes take over changes nothing.
    __device__ __forceinline__ void Walk_Alone(const Deep_Launch& P)
    {
        while (!Over(P)) {
            if (In_Double) {
                if (Lanes_Take_Next(P))
                    return;
                if (Leave_Arithmetic(d, !Scaled)) {
                    e = Double_Arithmetic::To_Scaled(d);
                    In_Double = false;
                } else if (Walk_Once<Double_Arithmetic>(P, W, d, Double_C)) {
                    --W.Budget;
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

    // Writes the pixel back; a finished one gets its count and smooth count.
    __device__ __forceinline__ void End(const Deep_Launch& P)
    {
        Pixel_State& S = P.States[Pixel];
        if (In_Double)
            Double_Arithmetic::Store(d, S);
        else
            Scaled_Arithmetic::Store(e, S);
        S.Step = W.m;
        S.Count = W.Count;
        S.Skipped = W.Skipped;
        S.Stepped = W.Stepped;
        S.Rebases = W.Rebases;
        const bool Done = W.Escaped || W.Count >= P.Iterations;
        P.Slot_Done[Slot] = Done ? 1 : 0;
        if (Done) {
            S.Phase = Finished;
            Finish_Pixel(P, Pixel, W, Offset);
        }
    }
};

} // namespace Kestrine_Deep
