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
// Length: the first point that fails the view's escape test, or the iteration count, whichever comes
// first. Offsets(m) = Z(m) - Z(0), computed before rounding (for Mandelbrot the points themselves).
class Reference_Orbit {
public:
    Reference_Orbit();
    ~Reference_Orbit();
    Reference_Orbit(const Reference_Orbit&) = delete;
    Reference_Orbit& operator=(const Reference_Orbit&) = delete;

    // Makes this the orbit of View's centre with at least Precision bits and View's iteration count:
    // kept as it is when it already is, extended when only the count grew. Reused says whether no
    // step had to be computed. Stops early, keeping what it has for the next call, when Cancelled
    // turns true (checked every few thousand steps); returns false then, and when memory runs out
    // (keeping nothing).
    bool Prepare(const Deep_View& View, long Precision, const std::atomic<bool>& Cancelled, bool& Reused);

    const std::vector<Orbit_Point>& Points() const { return Z; }
    const std::vector<Orbit_Point>& Offsets() const { return D; }
    std::int64_t Length() const { return static_cast<std::int64_t>(Z.size()) - 1; }
    long Precision() const { return Bits; }
    // The point whose orbit this is, rounded to double (Mandelbrot: its c).
    Orbit_Point Start_Constant() const { return C_Double; }
    // Bumped whenever the points change, so that copies of them can tell they are stale.
    std::uint64_t Version() const { return Changes; }

private:
    void Start(const Deep_View& View, long Precision);
    bool Extend(std::int64_t Iterations, const std::atomic<bool>& Cancelled);
    void Clear();

    std::vector<Orbit_Point> Z, D;
    Orbit_Point C_Double;
    long Bits = 0;
    std::uint64_t Changes = 0;
    bool Escaped = false;
    // What the orbit belongs to: reused only for the very same view text and escape test.
    Fractal_Set Set = Fractal_Set::Mandelbrot;
    std::string Key_Centre_Re, Key_Centre_Im, Key_C_Re, Key_C_Im;
    double Bound = 0;
    // The last point, its first point and the constant, at full precision, to go on from.
    mpfr_t X, Y, X0, Y0, C_Re, C_Im, X2, Y2, Product;
};

// The bound |z|^2 is compared with: Mandelbrot's threshold as it is, Julia's squared (NaN, which
// accepts no step, for a Julia threshold that is not positive).
double Escape_Bound(const Deep_View& View);

} // namespace Kestrine_Deep
