// The reference orbit in MPFR.
#include "ReferenceOrbit.h"

#include "DeepView.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#if defined(__unix__)
#include <unistd.h>
#endif

namespace Kestrine_Deep {
namespace {

// Past this |Z|^2 no pixel near the reference can still be bounded; stopping keeps every stored
// point's square finite in double.
constexpr double Runaway_Norm = 0x1p+128;
// An orbit that settles on a cycle is still kept this long (32 MiB), or to the iteration count.
constexpr std::int64_t Least_Kept = std::int64_t{1} << 20;

Orbit_Point Rounded(mpfr_srcptr Re, mpfr_srcptr Im)
{
    return Orbit_Point{mpfr_get_d(Re, MPFR_RNDN), mpfr_get_d(Im, MPFR_RNDN)};
}

std::int64_t Machine_Memory()
{
#if defined(__unix__)
    const long Pages = sysconf(_SC_PHYS_PAGES), Page_Size = sysconf(_SC_PAGE_SIZE);
    if (Pages > 0 && Page_Size > 0)
        return static_cast<std::int64_t>(Pages) * Page_Size;
#endif
    return std::int64_t{4} << 30;
}

} // namespace

double Escape_Bound(const Deep_View& View)
{
    if (View.Set == Fractal_Set::Mandelbrot)
        return View.Threshold;
    return View.Threshold > 0 ? View.Threshold * View.Threshold : std::numeric_limits<double>::quiet_NaN();
}

Reference_Orbit::Reference_Orbit()
{
    for (mpfr_ptr Value : {X, Y, X0, Y0, C_Re, C_Im, X2, Y2, Product, Saved_X, Saved_Y})
        mpfr_init2(Value, MPFR_PREC_MIN);
}

Reference_Orbit::~Reference_Orbit()
{
    for (mpfr_ptr Value : {X, Y, X0, Y0, C_Re, C_Im, X2, Y2, Product, Saved_X, Saved_Y})
        mpfr_clear(Value);
}

std::int64_t Reference_Orbit::Most_Points()
{
    static const std::int64_t Most = Machine_Memory() / 4 / (2 * sizeof(Orbit_Point));
    return Most;
}

void Reference_Orbit::Clear()
{
    std::vector<Orbit_Point>().swap(Z);
    std::vector<Orbit_Point>().swap(D);
    Bits = 0;
    Cycle = 0;
    ++Changes;
}

bool Reference_Orbit::Prepare(const Deep_View& View, long Precision, std::int64_t Kept, const std::atomic<bool>& Cancelled,
                              bool& Reused)
{
    const double New_Bound = Escape_Bound(View);
    const bool Same_Point = Bits > 0 && View.Set == Set && View.Centre_Re == Key_Centre_Re &&
                            View.Centre_Im == Key_Centre_Im &&
                            (View.Set == Fractal_Set::Mandelbrot || (View.C_Re == Key_C_Re && View.C_Im == Key_C_Im)) &&
                            (New_Bound == Bound || (std::isnan(New_Bound) && std::isnan(Bound)));
    Reused = Same_Point && Bits >= Precision && (Escaped || Cycle > 0 || Length() >= View.Iterations);
    Why_Not.clear();
    if (Reused)
        return true;
    Wanted.store(std::min<std::int64_t>(View.Iterations, Most_Points()));
    bool Extended = false;
    try {
        if (!Same_Point || Bits < Precision)
            Start(View, Precision);
        ++Changes;
        Extended = Extend(View.Iterations, Kept > 0 ? Kept : Least_Kept, Cancelled);
    } catch (const std::bad_alloc&) {
        Clear();
    }
    Wanted.store(0);
    return Extended;
}

void Reference_Orbit::Start(const Deep_View& View, long Precision)
{
    Clear();
    Bits = Precision;
    Set = View.Set;
    Key_Centre_Re = View.Centre_Re;
    Key_Centre_Im = View.Centre_Im;
    Key_C_Re = View.C_Re;
    Key_C_Im = View.C_Im;
    Bound = Escape_Bound(View);
    Escaped = false;
    Cycle = Mark = 0;
    Power = 1;
    for (mpfr_ptr Value : {X, Y, X0, Y0, C_Re, C_Im, X2, Y2, Product, Saved_X, Saved_Y})
        mpfr_set_prec(Value, Precision);
    if (View.Set == Fractal_Set::Mandelbrot) {
        Read_Decimal(View.Centre_Re, C_Re);
        Read_Decimal(View.Centre_Im, C_Im);
        mpfr_set_zero(X, 1);
        mpfr_set_zero(Y, 1);
    } else {
        Read_Decimal(View.Centre_Re, X);
        Read_Decimal(View.Centre_Im, Y);
        Read_Decimal(View.C_Re, C_Re);
        Read_Decimal(View.C_Im, C_Im);
    }
    mpfr_set(X0, X, MPFR_RNDN);
    mpfr_set(Y0, Y, MPFR_RNDN);
    mpfr_set(Saved_X, X, MPFR_RNDN);
    mpfr_set(Saved_Y, Y, MPFR_RNDN);
    C_Double = Rounded(C_Re, C_Im);
    Z.push_back(Rounded(X, Y));
    D.push_back(Orbit_Point{});
}

bool Reference_Orbit::Extend(std::int64_t Iterations, std::int64_t Kept, const std::atomic<bool>& Cancelled)
{
    // Most references of a long count escape early: room for all of it only as it is needed.
    const std::size_t Room = static_cast<std::size_t>(std::min<std::int64_t>(Iterations + 1, 1 << 20));
    Z.reserve(Room);
    D.reserve(Room);
    while (!Escaped && Cycle == 0 && Length() < Iterations) {
        // Every few thousand steps: told to the progress, checked for a cancel and against the cap.
        if (Length() % 4096 == 0) {
            Made.store(Length(), std::memory_order_relaxed);
            if (Cancelled.load(std::memory_order_relaxed))
                return false;
            if (Length() >= Most_Points()) {
                Why_Not = "the reference orbit: more than " + std::to_string(Most_Points()) +
                          " steps without escaping or settling on a cycle, more than a quarter of this machine's memory";
                Clear();
                return false;
            }
        }
        // Z <- Z^2 + C: three products.
        mpfr_mul(Product, X, Y, MPFR_RNDN);
        mpfr_sqr(X2, X, MPFR_RNDN);
        mpfr_sqr(Y2, Y, MPFR_RNDN);
        mpfr_sub(X, X2, Y2, MPFR_RNDN);
        mpfr_add(X, X, C_Re, MPFR_RNDN);
        mpfr_mul_2ui(Y, Product, 1, MPFR_RNDN);
        mpfr_add(Y, Y, C_Im, MPFR_RNDN);
        const Orbit_Point Point = Rounded(X, Y);
        Z.push_back(Point);
        if (Set == Fractal_Set::Mandelbrot) {
            D.push_back(Point);
        } else {
            mpfr_sub(X2, X, X0, MPFR_RNDN);
            mpfr_sub(Y2, Y, Y0, MPFR_RNDN);
            D.push_back(Rounded(X2, Y2));
        }
        const double Norm = Point.Re * Point.Re + Point.Im * Point.Im;
        Escaped = !(Norm < Bound) || !(Norm < Runaway_Norm);
        if (!Escaped && Settled_On_Cycle())
            Repeat_Cycle(std::min(Iterations, std::max(Length(), Kept)));
    }
    return true;
}

// The cycle's points copied on to Last, as the full-precision orbit would give them: the table of
// runs and the lanes work along the stored orbit, and would be cut short by a short one.
void Reference_Orbit::Repeat_Cycle(std::int64_t Last)
{
    Z.reserve(static_cast<std::size_t>(Last) + 1);
    D.reserve(static_cast<std::size_t>(Last) + 1);
    while (Length() < Last) {
        const std::size_t Period_Back = Z.size() - static_cast<std::size_t>(Cycle);
        Z.push_back(Z[Period_Back]);
        D.push_back(D[Period_Back]);
    }
}

// Brent's search on the full-precision point itself: it is compared with a saved one, which moves on
// to the newest point whenever the distance to it reaches a power of two, so that a cycle of any period
// is seen once the saved point lies on it and the power has grown past the period. Why stopping there
// changes nothing: the point has come back to itself exactly, and each step is a function of the point
// alone (rounded the same way every time), so the orbit from here on is that cycle for ever, and so
// are its rounded points and offsets. An orbit only near a cycle (a repelling one, as at a Misiurewicz
// point, which it leaves again) never comes back to itself exactly and goes on.
bool Reference_Orbit::Settled_On_Cycle()
{
    const std::int64_t m = Length();
    if (mpfr_equal_p(X, Saved_X) && mpfr_equal_p(Y, Saved_Y)) {
        Cycle = m - Mark;
        return true;
    }
    if (m - Mark == Power) {
        Mark = m;
        Power *= 2;
        mpfr_set(Saved_X, X, MPFR_RNDN), mpfr_set(Saved_Y, Y, MPFR_RNDN);
    }
    return false;
}

} // namespace Kestrine_Deep
