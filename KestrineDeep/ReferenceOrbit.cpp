// The reference orbit in MPFR.
#include "ReferenceOrbit.h"

#include "DeepView.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace Kestrine_Deep {
namespace {

// Past this |Z|^2 no pixel near the reference can still be bounded; stopping keeps every stored
// point's square finite in double.
constexpr double Runaway_Norm = 0x1p+128;

Orbit_Point Rounded(mpfr_srcptr Re, mpfr_srcptr Im)
{
    return Orbit_Point{mpfr_get_d(Re, MPFR_RNDN), mpfr_get_d(Im, MPFR_RNDN)};
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
    for (mpfr_ptr Value : {X, Y, X0, Y0, C_Re, C_Im, X2, Y2, Product})
        mpfr_init2(Value, MPFR_PREC_MIN);
}

Reference_Orbit::~Reference_Orbit()
{
    for (mpfr_ptr Value : {X, Y, X0, Y0, C_Re, C_Im, X2, Y2, Product})
        mpfr_clear(Value);
}

void Reference_Orbit::Clear()
{
    std::vector<Orbit_Point>().swap(Z);
    std::vector<Orbit_Point>().swap(D);
    Bits = 0;
    ++Changes;
}

bool Reference_Orbit::Prepare(const Deep_View& View, long Precision, const std::atomic<bool>& Cancelled, bool& Reused)
{
    const double New_Bound = Escape_Bound(View);
    const bool Same_Point = Bits > 0 && View.Set == Set && View.Centre_Re == Key_Centre_Re &&
                            View.Centre_Im == Key_Centre_Im &&
                            (View.Set == Fractal_Set::Mandelbrot || (View.C_Re == Key_C_Re && View.C_Im == Key_C_Im)) &&
                            (New_Bound == Bound || (std::isnan(New_Bound) && std::isnan(Bound)));
    Reused = Same_Point && Bits >= Precision && (Escaped || Length() >= View.Iterations);
    if (Reused)
        return true;
    try {
        if (!Same_Point || Bits < Precision)
            Start(View, Precision);
        ++Changes;
        return Extend(View.Iterations, Cancelled);
    } catch (const std::bad_alloc&) {
        Clear();
        return false;
    }
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
    for (mpfr_ptr Value : {X, Y, X0, Y0, C_Re, C_Im, X2, Y2, Product})
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
    C_Double = Rounded(C_Re, C_Im);
    Z.push_back(Rounded(X, Y));
    D.push_back(Orbit_Point{});
}

bool Reference_Orbit::Extend(std::int64_t Iterations, const std::atomic<bool>& Cancelled)
{
    // Most references of a long count escape early: room for all of it only as it is needed.
    const std::size_t Room = static_cast<std::size_t>(std::min<std::int64_t>(Iterations + 1, 1 << 20));
    Z.reserve(Room);
    D.reserve(Room);
    while (!Escaped && Length() < Iterations) {
        if (Length() % 4096 == 0 && Cancelled.load(std::memory_order_relaxed))
            return false;
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
    }
    return true;
}

} // namespace Kestrine_Deep
