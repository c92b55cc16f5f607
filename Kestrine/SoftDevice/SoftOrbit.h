// The loop that advances the orbits of a run of pixels on the software device, and the watch on
// orbits that have fallen into an exact cycle.
//
// Compiled once per lane set, inside its namespace KESTRINE_LANES (SoftVectors.h).
#pragma once

#include "SoftLanes.h"

namespace KESTRINE_LANES {

// Whether two float vectors hold the same bit patterns, lane by lane (so -0 is not 0, and a NaN
// matches its own pattern).
__forceinline__ Int_Vector Same_Bits(Float_Vector a, Float_Vector b)
{
    return reinterpret_cast<Int_Vector>(a) == reinterpret_cast<Int_Vector>(b);
}

// Orbits that repeat bit for bit. A step computes its candidate from z and c alone, so a z that comes
// back after q kept steps comes back every q steps from then on, every one of those steps kept: the
// pixel never escapes. Its R steps left in the launch are then all kept and leave z where the cycle
// stands R mod q steps on. A lane found in a cycle goes on stepping with the others (its steps are
// the real ones, so nothing needs undoing) until no lane outside a cycle is left; then it adds
// R - R mod q to its count at once and takes only its last R mod q steps. Counts and z are those of
// the full loop.
//
// Checkpoints follow Brent's method on the launch's own step numbers, which all lanes share, so a
// checkpoint is a copy of the run's z. z before the first step is compared with z after each of the
// first four: after one launch the orbit of a pixel inside the set is mostly in its cycle already,
// so it comes back within its period and the run leaves after a few steps. Then z after step 4, 12,
// 28, ... (each window twice the last) is compared with z at every eighth step of its window, which
// finds a cycle whose period divides the compared distance once the orbit has entered it, and costs
// pictures without cycles a few vector operations per eight steps.
class Cycle_Watch {
public:
    // The steps compared one by one with z at the start, and the steps between compares after them.
    static constexpr int First_Window = 4;
    static constexpr int Stride = 8;

    Cycle_Watch(const LaneFloat& Zr, const LaneFloat& Zi, int Steps)
        : Saved_Real(Zr), Saved_Imag(Zi), Steps(Steps), Period(0)
    {
        for (Int_Vector& v : Cycling.Part)
            v = Int_Vector{};
    }

    // Whether step Done is one after which z is compared.
    static bool Compared_After(int Done)
    {
        return Done <= First_Window || (Done - First_Window) % Stride == 0;
    }

    // After step Done, whose kept lanes are Kept: lanes back at the checkpoint are in a cycle. Then z
    // becomes the checkpoint if its window is over. Most calls find nothing: the real parts alone
    // tell, in a few operations.
    void Compare(int Done, const LaneFloat& Zr, const LaneFloat& Zi, const LaneMask& Kept)
    {
        Int_Vector Real_Back = Kept.Part[0] & Same_Bits(Zr.Part[0], Saved_Real.Part[0]);
        for (int g = 1; g < Vectors_Per_Lane_Group; ++g)
            Real_Back |= Kept.Part[g] & Same_Bits(Zr.Part[g], Saved_Real.Part[g]);
        if (Any_Lane(Real_Back))
            Take_Cycles(Done - Saved_At, Zr, Zi, Kept);
        if (Done - Saved_At == Window) {
            Saved_Real = Zr;
            Saved_Imag = Zi;
            Saved_At = Done;
            Window *= 2;
        }
    }

    // The lanes of Kept outside a cycle: the run goes on while any of them holds a pixel.
    LaneMask Walking(const LaneMask& Kept) const
    {
        if (!Any_Found)
            return Kept;
        LaneMask Outside;
        for (int g = 0; g < Vectors_Per_Lane_Group; ++g)
            Outside.Part[g] = Kept.Part[g] & ~Cycling.Part[g];
        return Outside;
    }

    // The lanes in a cycle after step Done, where the main loop stopped: R = Steps - Done steps are
    // left, R - R mod q of them are counted here, and Step(Mask) takes one step in the lanes of Mask,
    // R mod q times for each.
    template <typename Masked_Step>
    void Finish(int Done, LaneInt& Kept_Steps, Masked_Step Step) const
    {
        if (!Any_Found)
            return;
        // Each lane's q is one of the few distances compared, so each R mod q is found once.
        const int Left = Steps - Done;
        LaneInt Last(0);
        int Most = 0;
        for (int d = 0; d < Distance_Count; ++d) {
            const int Distance = Distances[d], Remainder = Left % Distance;
            for (int g = 0; g < Vectors_Per_Lane_Group; ++g) {
                const Int_Vector Here = Cycling.Part[g] & (Period.Part[g] == Distance);
                Last.Part[g] = Here ? Remainder : Last.Part[g];
                Kept_Steps.Part[g] += Here & (Left - Remainder);
            }
            Most = Remainder > Most ? Remainder : Most;
        }
        for (int j = 0; j < Most; ++j) {
            LaneMask Mask;
            for (int g = 0; g < Vectors_Per_Lane_Group; ++g)
                Mask.Part[g] = Last.Part[g] > j;
            Step(Mask);
        }
    }

private:
    // The lanes outside a cycle whose z is the checkpoint's, its Distance steps on, join the cycling.
    void Take_Cycles(int Distance, const LaneFloat& Zr, const LaneFloat& Zi, const LaneMask& Kept)
    {
        bool Found = false;
        for (int g = 0; g < Vectors_Per_Lane_Group; ++g) {
            const Int_Vector Back = Kept.Part[g] & ~Cycling.Part[g] & Same_Bits(Zr.Part[g], Saved_Real.Part[g]) &
                                    Same_Bits(Zi.Part[g], Saved_Imag.Part[g]);
            Found |= Any_Lane(Back);
            Cycling.Part[g] |= Back;
            Period.Part[g] = Back ? Distance : Period.Part[g];
        }
        if (!Found)
            return;
        Any_Found = true;
        for (int d = 0; d < Distance_Count; ++d)
            if (Distances[d] == Distance)
                return;
        Distances[Distance_Count++] = Distance;
    }

    LaneFloat Saved_Real, Saved_Imag;
    int Saved_At = 0;
    int Window = First_Window;
    int Steps;
    LaneMask Cycling;
    LaneInt Period;
    bool Any_Found = false;
    // The distances at which lanes were found, each once: each brought at least one lane.
    int Distances[Lane_Width];
    int Distance_Count = 0;
};

// Up to Steps steps of the orbits of a run of pixels: Next(Zr, Zi, Cr, Ci, A, B), called on one vector
// of lanes at a time, puts the candidates in A and B and says in which lanes they are kept. Returns
// whether any lane kept a step, that is whether z changed; Kept counts each lane's kept steps.
//
// A refused step freezes its pixel for good: z stays, so every later step computes the same candidate
// and refuses it again. So once no lane of the run keeps its step, the steps left would change
// nothing, and the run leaves (tested every four steps, and after the first, so that a launch over a
// run frozen by an earlier launch costs one step). A lane caught in an exact cycle counts as frozen
// there (Cycle_Watch), so a run inside the set leaves as early.
template <typename Step>
__forceinline__ bool Iterate_Orbit(const PixelLanes& Pixels, LaneFloat& Zr, LaneFloat& Zi, const LaneFloat& Cr,
                                   const LaneFloat& Ci, LaneInt& Kept_Steps, int Steps, Step Next)
{
    if (Steps <= 0)
        return false;
    Cycle_Watch Cycles(Zr, Zi, Steps);
    LaneMask Kept;
    LaneFloat A, B;
    const auto Keep = [&] {
        for (int g = 0; g < Vectors_Per_Lane_Group; ++g) {
            Zr.Part[g] = Kept.Part[g] ? A.Part[g] : Zr.Part[g];
            Zi.Part[g] = Kept.Part[g] ? B.Part[g] : Zi.Part[g];
            Kept_Steps.Part[g] -= Kept.Part[g]; // a kept lane is -1
        }
    };
    const auto Candidates = [&] {
        for (int g = 0; g < Vectors_Per_Lane_Group; ++g)
            Kept.Part[g] = Next(Zr.Part[g], Zi.Part[g], Cr.Part[g], Ci.Part[g], A.Part[g], B.Part[g]);
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
    const auto Compare_And_Go_On = [&] {
        if (Cycle_Watch::Compared_After(Done))
            Cycles.Compare(Done, Zr, Zi, Kept);
        return Pixels.Any_In_Image(Cycles.Walking(Kept));
    };
    bool Walking = Compare_And_Go_On();
    for (; Walking && Done < Steps && Done < Cycle_Watch::First_Window; Walking = Compare_And_Go_On()) {
        One_Step();
        ++Done;
    }
    for (; Walking && Steps - Done >= 4; Walking = Compare_And_Go_On()) {
        One_Step();
        One_Step();
        One_Step();
        One_Step();
        Done += 4;
    }
    for (; Walking && Done < Steps; ++Done)
        One_Step();
    Cycles.Finish(Done, Kept_Steps, [&](const LaneMask& Mask) {
        Candidates();
        for (int g = 0; g < Vectors_Per_Lane_Group; ++g)
            Kept.Part[g] &= Mask.Part[g];
        Keep();
    });
    return true;
}

} // namespace KESTRINE_LANES
