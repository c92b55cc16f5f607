// The reference orbit: one point's orbit in arbitrary precision, rounded to double for the kernels.
#pragma once

#include "KestrineDeep.h"

#include <mpfr.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace Kestrine_Deep {

struct Orbit_Point {
    double Re = 0, Im = 0;
};

// Mandelbrot: Z(0) = 0, Z(m+1) = Z(m)^2 + centre. Julia: Z(0) = centre, Z(m+1) = Z(m)^2 + c. Kept up to
// Length: the first point that fails the view's escape test, the iteration count, or a little past
// the point where the full-precision orbit has come back to itself, whichever comes first.
// Offsets(m) = Z(m) - Z(0), computed before rounding (for Mandelbrot the points themselves).
//
// A centre caught by an attracting cycle would otherwise be kept for every one of its iterations
// (2^31 of them take 64 GiB): once the full-precision orbit comes back to a point exactly, the cycle
// is copied on a while and the orbit stops; Period then says that Z(m) = Z(m - Period) and
// D(m) = D(m - Period) for every m past Length. The kernels step from Length back to
// Length - Period, to the very same numbers, so a pixel walks exactly as along the whole orbit.
class Reference_Orbit {
public:
    Reference_Orbit();
    ~Reference_Orbit();
    Reference_Orbit(const Reference_Orbit&) = delete;
    Reference_Orbit& operator=(const Reference_Orbit&) = delete;

    // Makes this the orbit of View's centre with at least Precision bits and View's iteration count:
    // kept as it is when it already is, extended when only the count grew. Reused says whether no
    // step had to be computed. Stops early, keeping what it has for the next call, when Cancelled
    // turns true (checked every few thousand steps); returns false then, and when memory runs out or
    // the orbit would outgrow Most_Points (keeping nothing; Refusal says why).
    // An orbit that settles on a cycle is stored at least Kept steps (0: Least_Kept), or to the count.
    bool Prepare(const Deep_View& View, long Precision, std::int64_t Kept, const std::atomic<bool>& Cancelled,
                 bool& Reused);
    const std::string& Refusal() const { return Why_Not; }

    const std::vector<Orbit_Point>& Points() const { return Z; }
    const std::vector<Orbit_Point>& Offsets() const { return D; }
    std::int64_t Length() const { return static_cast<std::int64_t>(Z.size()) - 1; }
    // For another thread to follow Prepare: the length as last told (every few thousand steps), and
    // the most it may reach (0 while no steps are being made).
    std::int64_t Steps_Made() const { return Made.load(std::memory_order_relaxed); }
    std::int64_t Steps_Wanted() const { return Wanted.load(std::memory_order_relaxed); }
    // 0, or the period the orbit repeats with past Length.
    std::int64_t Period() const { return Cycle; }
    // The most points an orbit may hold: a quarter of the machine's memory for its points and offsets.
    static std::int64_t Most_Points();
    long Precision() const { return Bits; }
    // The point whose orbit this is, rounded to double (Mandelbrot: its c).
    Orbit_Point Start_Constant() const { return C_Double; }
    // Bumped whenever the points change, so that copies of them can tell they are stale.
    std::uint64_t Version() const { return Changes; }

private:
    void Start(const Deep_View& View, long Precision);
    bool Extend(std::int64_t Iterations, std::int64_t Kept, const std::atomic<bool>& Cancelled);
    // Whether the point just added has come back to the saved point exactly (Cycle then set).
    bool Settled_On_Cycle();
    void Repeat_Cycle(std::int64_t Last);
    void Clear();

    std::vector<Orbit_Point> Z, D;
    Orbit_Point C_Double;
    long Bits = 0;
    std::uint64_t Changes = 0;
    bool Escaped = false;
    std::int64_t Cycle = 0;
    // The cycle search: where the saved point (Saved_X, Saved_Y) lies and the distance at which it
    // moves on.
    std::int64_t Mark = 0, Power = 1;
    std::string Why_Not;
    std::atomic<std::int64_t> Made{0}, Wanted{0};
    // What the orbit belongs to: reused only for the very same view text and escape test.
    Fractal_Set Set = Fractal_Set::Mandelbrot;
    std::string Key_Centre_Re, Key_Centre_Im, Key_C_Re, Key_C_Im;
    double Bound = 0;
    // The last point, its first point and the constant, at full precision, to go on from.
    mpfr_t X, Y, X0, Y0, C_Re, C_Im, X2, Y2, Product, Saved_X, Saved_Y;
};

// The bound |z|^2 is compared with: Mandelbrot's threshold as it is, Julia's squared (NaN, which
// accepts no step, for a Julia threshold that is not positive).
double Escape_Bound(const Deep_View& View);

} // namespace Kestrine_Deep
