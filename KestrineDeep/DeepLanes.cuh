// The deep walk of several pixels at once: each lane a pixel, a lane whose pixel is over for this
// launch taking the next pixel of the call's slots at once, so that no lane waits for the slowest.
// On a GPU a thread has one lane and one slot; on the software device a call serves a run of blocks'
// slots with Groups vectors of Group_Width lanes (DeepLaneTypes.cuh), stepped side by side.
//
// The lanes take the plain steps in double: the step, the escape test and the rebase, each lane in
// exactly the operations of the scalar walk (Walk_Once) for its pixel. Every other turn (a run of the
// table, the scaled type, the reference's end) is rare, and the lane's pixel takes it on the scalar
// path (Pixel_Run) and comes back; so a pixel gets the same count and smooth count in lanes of any
// width as alone.
//
// The lanes step in batches: as many steps as every lane may take before one of them must stop (its
// budget, the reference's end, the probe's next comparison), each step tested only for the rare
// events that end a batch early: an escape, a turn for the scalar path, a new closest approach to 0
// for the interior probe (DeepInterior.cuh), an orbit caught by a Julia constant's attracting cycle.
// A step whose lane escapes is not kept: the scalar path takes it again, as the walk would.
#pragma once

#include "DeepLaneTypes.cuh"
#include "DeepPixel.cuh"

DEEP_LANE_CODE_BEGIN

constexpr int Lanes = Group_Width * Groups;

// The groups' loops unrolled, so that each group's lanes stay in registers of their own.
#if defined(__CUDACC__)
#define EACH_GROUP _Pragma("unroll")
#else
#define EACH_GROUP _Pragma("GCC unroll 8")
#endif

__device__ __forceinline__ Lane_Double Broadcast(double Value)
{
#if defined(__CUDACC__)
    return Value;
#else
    Lane_Double v;
    for (int i = 0; i < Group_Width; ++i)
        v[i] = Value;
    return v;
#endif
}

// What every step of a batch reads besides the lanes: the launch's values as lane vectors.
struct Batch_Constants {
    Lane_Double Z0r, Z0i;        // Z(0)
    Lane_Double Run_Radius2;     // the table's largest single-step radius squared; -1 without a table
    Lane_Long First_Step;        // the table's first reference index
    Lane_Double Trap_Re, Trap_Im, Trap_Radius2;
};

// Group_Width pixels in vector lanes.
struct Lane_Group {
    Lane_Double Dr, Di, Cr, Ci, Zr, Zi; // δ, δc, Z(m)
    Lane_Long m;
    Lane_Long Rebases;                  // minus the rebases since the pixels came in
    Lane_Double Bar;                    // the probe's Probe_Watch::Bar, 0 for a pixel not watched
    Lane_Long Live;
    // After the step of an event: whether it was this group's, and then the lanes whose step was an
    // event and those that escaped (in a group without the event every live lane kept the step).
    bool Stopped;
    Lane_Long Flagged, Failed;

    // One step of every lane, kept at once unless it is an event for some live lane; then kept only
    // where it did not escape, and true.
    template <bool Scaled, bool Mandelbrot>
    __device__ __forceinline__ bool Step(const Deep_Launch& P, const Batch_Constants& K)
    {
        Lane_Double Nr, Ni;
        Perturbation_Step(Dr, Di, Zr, Zi, Cr, Ci, Nr, Ni);
        const Lane_Long Next = m + 1;
        Lane_Double Next_Zr, Next_Zi;
        Gather(P.Z, Next, Next_Zr, Next_Zi);
        const Lane_Double Re = Next_Zr + Nr, Im = Next_Zi + Ni;
        const Lane_Double Norm = Re * Re + Im * Im;
        const Lane_Long Kept = Is(Norm < P.Bound);
        // The rebase test on the kept candidate, as Walk_Once makes it: back to the reference's start
        // when z - Z(0) = D(m + 1) + δ is the smaller difference. D is Z for Mandelbrot, whose
        // reference starts at 0: Z(m + 1) + δ is then the candidate z itself.
        Lane_Double Fr = Re, Fi = Im, From_Start = Norm;
        if (!Mandelbrot) {
            Lane_Double Or, Oi;
            Gather(P.D, Next, Or, Oi);
            Fr = Or + Nr;
            Fi = Oi + Ni;
            From_Start = Fr * Fr + Fi * Fi;
        }
        const Lane_Double Moved_Norm = Nr * Nr + Ni * Ni;
        const Lane_Long Nearer = Is(From_Start < Moved_Norm);
        const Lane_Double New_Dr = Select(Nearer, Fr, Nr), New_Di = Select(Nearer, Fi, Ni);
        const Lane_Long New_m = Select(Nearer, Lane_Long{}, Next);
        // Events: an escape; a next turn on the scalar path (a run of the table may start, or δ is
        // small enough for the scaled type); a new closest approach; the Julia trap.
        Lane_Long Event = ~Kept | Is(Norm < Bar);
        // A run of the table may start: |δ| below the largest radius (as May_Take_Run), then below the
        // one at m itself (as Below), scaled so that squares stay normal.
        Lane_Long Run = Live & Is(New_m >= K.First_Step) & Is(Select(Nearer, From_Start, Moved_Norm) < K.Run_Radius2);
        if (Any(Run)) {
            const Lane_Double R2 = Gather_One(P.Entry_Radius_Squared, New_m);
            const Lane_Double Sr = New_Dr * Lane_Scale, Si = New_Di * Lane_Scale, S2 = Sr * Sr + Si * Si;
            Run &= Is(S2 < R2) | (Is(S2 == 0) & Is(R2 >= 0));
            Event |= Run;
        }
        if (Scaled)
            Event |= Is(Lane_Magnitude(New_Dr) < Scaled_Below) & Is(Lane_Magnitude(New_Di) < Scaled_Below);
        if (!Mandelbrot) {
            const Lane_Double Tr = Re - K.Trap_Re, Ti = Im - K.Trap_Im;
            Event |= Is(Tr * Tr + Ti * Ti < K.Trap_Radius2);
        }
        Event &= Live;
        if (!Any(Event)) {
            Dr = New_Dr, Di = New_Di;
            Zr = Select(Nearer, K.Z0r, Next_Zr);
            Zi = Select(Nearer, K.Z0i, Next_Zi);
            m = New_m;
            Rebases += Nearer; // a true mask is -1
            return false;
        }
        const Lane_Long Took = Live & Kept;
        Flagged = Event;
        Failed = Live & ~Kept;
        Dr = Select(Took, New_Dr, Dr), Di = Select(Took, New_Di, Di);
        Zr = Select(Took, Select(Nearer, K.Z0r, Next_Zr), Zr);
        Zi = Select(Took, Select(Nearer, K.Z0i, Next_Zi), Zi);
        m = Select(Took, New_m, m);
        Rebases += Took & Nearer;
        return true;
    }
};

// Every live lane takes Steps steps, or fewer when some lane's step is an event: then the steps every
// lane took before it, and the groups' Stopped, Flagged and Failed tell the event's step.
template <bool Scaled, bool Mandelbrot>
__device__ __forceinline__ int Step_Batch(const Deep_Launch& P, const Batch_Constants& K, Lane_Group (&Group)[Groups],
                                          int Steps, bool& Event)
{
    // On a copy, so that the compiler keeps the lanes in registers: nothing here reaches a lane by its index.
    Lane_Group G[Groups];
    EACH_GROUP
    for (int g = 0; g < Groups; ++g)
        G[g] = Group[g];
    int Taken = 0;
    Event = false;
    while (Taken < Steps) {
        EACH_GROUP
        for (int g = 0; g < Groups; ++g) {
            G[g].Stopped = G[g].template Step<Scaled, Mandelbrot>(P, K);
            Event |= G[g].Stopped;
        }
        if (Event)
            break;
        ++Taken;
    }
    EACH_GROUP
    for (int g = 0; g < Groups; ++g)
        Group[g] = G[g];
    return Taken;
}

// The lanes of a call and the pixels they walk. Clock counts the steps of the call's batches; a lane's
// pixel has its steps counted up to Synced, and must be looked at when Clock reaches Stop_At (its
// budget's end, the reference's end, the probe's next comparison), or when one of its steps is an event.
template <bool Scaled>
struct Lane_Walk {
    Lane_Group Group[Groups];
    Pixel_Run<Scaled> Runs[Lanes];
    long long Clock = 0, First_Stop = 0;
    long long Synced[Lanes], Stop_At[Lanes];

    __device__ __forceinline__ Lane_Group& Of(int i) { return Group[i / Group_Width]; }
    __device__ __forceinline__ int Place(int i) const { return i % Group_Width; }
    __device__ __forceinline__ bool Live(int i) { return Get(Of(i).Live, Place(i)) != 0; }

    // When lane i must be looked at next, from its pixel as counted now. An empty lane's gathers must
    // stay within the orbit: it is looked at (its index set back to 0) before it gets there.
    __device__ __forceinline__ void Plan(const Deep_Launch& P, int i)
    {
        long long Steps = P.Length - 1 - Get(Of(i).m, Place(i));
        if (Live(i)) {
            const Pixel_Run<Scaled>& Run = Runs[i];
            const long long To_Last = static_cast<long long>(P.Iterations) - Run.W.Count;
            Steps = Run.W.Budget < Steps ? Run.W.Budget : Steps;
            Steps = To_Last < Steps ? To_Last : Steps;
            if (Run.Watch.Period > 0) {
                const long long To_Target = static_cast<long long>(Run.Watch.Target) - Run.W.Count;
                Steps = To_Target < Steps ? To_Target : Steps;
            }
        }
        Stop_At[i] = Clock + (Steps > 0 ? Steps : 0);
    }

    __device__ __forceinline__ int Batch_Length()
    {
        long long First = Stop_At[0];
        for (int i = 1; i < Lanes; ++i)
            First = Stop_At[i] < First ? Stop_At[i] : First;
        First_Stop = First;
        const long long Steps = First - Clock;
        return static_cast<int>(Steps < (1 << 30) ? Steps : 1 << 30);
    }

    // Lane i takes Runs[i]'s pixel.
    __device__ __forceinline__ void Take(const Deep_Launch& P, int i)
    {
        Pixel_Run<Scaled>& Run = Runs[i];
        Lane_Group& G = Of(i);
        const int j = Place(i);
        const Orbit_Point Z = P.Z[Run.W.m];
        Put(G.Dr, j, Run.d.Re);
        Put(G.Di, j, Run.d.Im);
        Put(G.Cr, j, Run.Double_C.Re);
        Put(G.Ci, j, Run.Double_C.Im);
        Put(G.Zr, j, Z.Re);
        Put(G.Zi, j, Z.Im);
        Put(G.m, j, static_cast<long long>(Run.W.m));
        Put(G.Rebases, j, 0LL);
        Put(G.Live, j, -1LL);
        Probe_Watch& Watch = Run.Watch;
        if (Watch.Period > 0 && Run.W.Count >= Watch.Target)
            Restart_Mark(Watch, Run.W.Count, Z.Re + Run.d.Re, Z.Im + Run.d.Im); // a new launch's first turn
        Put(G.Bar, j, Watch.Bar);
        Synced[i] = Clock;
        Plan(P, i);
    }

    // Lane i's pixel brought up to date: its steps counted (Kept of them since the last count), its δ,
    // m and rebases given back.
    __device__ __forceinline__ void Sync(int i, long long Kept)
    {
        Pixel_Run<Scaled>& Run = Runs[i];
        Pixel_Walk& W = Run.W;
        const int Steps = static_cast<int>(Kept);
        W.Count += Steps, W.Stepped += Steps, W.Budget -= Steps;
        Synced[i] = Clock;
        Lane_Group& G = Of(i);
        const int j = Place(i);
        Run.d = Double_Delta{Get(G.Dr, j), Get(G.Di, j)};
        W.m = static_cast<int>(Get(G.m, j));
        W.Rebases -= static_cast<int>(Get(G.Rebases, j));
        Put(G.Rebases, j, 0LL);
    }

    // Lane i takes the next slot of [Next, Last) whose pixel is not over after its scalar turns; the
    // pixels over before that are written back. Empty when no slot is left.
    __device__ __forceinline__ void Fill(const Deep_Launch& P, int i, int& Next, int Last)
    {
        Pixel_Run<Scaled>& Run = Runs[i];
        while (Next < Last) {
            if (!Run.Begin(P, Next++))
                continue;
            Run.Walk_Alone(P);
            if (!Run.Over(P)) {
                Take(P, i);
                return;
            }
            Run.End(P);
        }
        Put(Of(i).Live, Place(i), 0LL);
        Put(Of(i).m, Place(i), 0LL);
        Plan(P, i);
    }

    // Lane i's pixel, given back, on the scalar path until lanes can take it again or it is over.
    __device__ __forceinline__ void Walk_Aside(const Deep_Launch& P, int i, int& Next, int Last)
    {
        Pixel_Run<Scaled>& Run = Runs[i];
        Run.Walk_Alone(P);
        if (!Run.Over(P)) {
            Take(P, i);
            return;
        }
        Run.End(P);
        Fill(P, i, Next, Last);
    }

    // Lane i after its event or at its stop: counted, and whatever stopped it seen to.
    __device__ __forceinline__ void Look_At(const Deep_Launch& P, int i, bool Flagged, bool Failed, int& Next, int Last)
    {
        if (!Live(i)) {
            Put(Of(i).m, Place(i), 0LL);
            Plan(P, i);
            return;
        }
        Sync(i, Clock - Synced[i] - (Failed ? 1 : 0));
        Pixel_Run<Scaled>& Run = Runs[i];
        const double Zr = P.Z[Run.W.m].Re + Run.d.Re, Zi = P.Z[Run.W.m].Im + Run.d.Im;
        if (Failed) {
            Run.Take_Turn(P); // the escape, as the scalar walk takes it
        } else if (!P.Mandelbrot) {
            const double Tr = Zr - P.Trap.Re, Ti = Zi - P.Trap.Im;
            Run.Inside = Tr * Tr + Ti * Ti < P.Trap.Radius_Squared;
        } else {
            Run.Watch_Point(P, Zr, Zi);
            Put(Of(i).Bar, Place(i), Run.Watch.Bar);
        }
        if (Run.Over(P)) {
            Run.End(P);
            Fill(P, i, Next, Last);
        } else if (const int Turn = Run.Next_Turn(P); Flagged || Turn != -1) {
            // Whatever the event, one turn at least on the scalar path, so that no lane can stop at the
            // same step for ever.
            if (Turn == -1)
                Run.Take_Turn(P, Turn);
            Walk_Aside(P, i, Next, Last);
        } else {
            Plan(P, i);
        }
    }

    // After a batch of Taken steps (and the step of an event, if one ended it).
    // Only the lanes of the event's step and, when the batch ran its length, those at their stop.
    __device__ __forceinline__ void Settle(const Deep_Launch& P, int Taken, bool Event, int& Next, int Last)
    {
        Clock += Taken + (Event ? 1 : 0);
        if (Event)
            for (int g = 0; g < Groups; ++g) {
                if (!Group[g].Stopped)
                    continue;
                const Lane_Long Flagged = Group[g].Flagged, Failed = Group[g].Failed;
                for (int j = 0; j < Group_Width; ++j)
                    if (Get(Flagged, j) != 0)
                        Look_At(P, g * Group_Width + j, true, Get(Failed, j) != 0, Next, Last);
            }
        if (Clock >= First_Stop)
            for (int i = 0; i < Lanes; ++i)
                if (Stop_At[i] <= Clock)
                    Look_At(P, i, false, false, Next, Last);
    }

    __device__ __forceinline__ bool Any_Live()
    {
        bool Live_Lanes = false;
        for (int g = 0; g < Groups; ++g)
            Live_Lanes |= Any(Group[g].Live);
        return Live_Lanes;
    }
};

// Advances the pixels of slots [First, Last) of the launch's list by at most the launch's budget each.
template <bool Scaled, bool Mandelbrot>
__device__ __forceinline__ void Advance_Slots(const Deep_Launch& P, int First, int Last)
{
    Lane_Walk<Scaled> L;
    Batch_Constants K;
    K.Z0r = Broadcast(P.Z[0].Re), K.Z0i = Broadcast(P.Z[0].Im);
    K.Run_Radius2 = Broadcast(P.Approximate ? P.Largest_Radius_Squared : -1.0);
    K.First_Step = Lane_Long{} + static_cast<long long>(P.First_Step);
    K.Trap_Re = Broadcast(P.Trap.Re), K.Trap_Im = Broadcast(P.Trap.Im), K.Trap_Radius2 = Broadcast(P.Trap.Radius_Squared);
    int Next = First;
    for (int i = 0; i < Lanes; ++i)
        L.Fill(P, i, Next, Last);
    while (L.Any_Live()) {
        bool Event = false;
        const int Taken = Step_Batch<Scaled, Mandelbrot>(P, K, L.Group, L.Batch_Length(), Event);
        L.Settle(P, Taken, Event, Next, Last);
    }
}

DEEP_LANE_CODE_END
