// The trap of a Julia constant's attracting cycle.
//
// For a cycle w_0, ..., w_p-1 = f^(p-1)(w_0) and a point z within r of w_0, the errors e_k = f^k(z) - w_k
// obey e_k+1 = 2 w_k e_k + e_k^2, so |e_k| <= M_k r with M_0 = 1 and M_k+1 = M_k (2 |w_k| + M_k r). When
// M_p <= 1/2, f^p maps the disk of radius r about w_0 into the one of radius r / 2: the orbit of z comes
// back into the disk every p steps and never leaves the disks of radius M_k r about the cycle, so it
// never escapes when every |w_k| + M_k r is below the escape radius.
#include "JuliaTrap.h"

#include <cmath>
#include <complex>
#include <vector>

namespace Kestrine_Deep {

namespace {

using Complex = std::complex<double>;

constexpr int Settle_Steps = 100000;
constexpr int Longest_Period = 1024;

// The period of the cycle the orbit has settled on, if it settled within a millionth.
int Settled_Period(Complex C, Complex Z)
{
    const Complex Start = Z;
    for (int p = 1; p <= Longest_Period; ++p) {
        Z = Z * Z + C;
        if (std::abs(Z - Start) <= 1e-6 * (std::abs(Start) + 1e-3))
            return p;
    }
    return 0;
}

// Newton's method for f^p(w) = w from w; false unless it settles.
bool Refine(Complex C, int p, Complex& W)
{
    for (int Turn = 0; Turn < 50; ++Turn) {
        Complex Z = W, L = 1;
        for (int k = 0; k < p; ++k) {
            L = 2.0 * Z * L;
            Z = Z * Z + C;
        }
        const Complex Step = (Z - W) / (L - 1.0);
        W -= Step;
        if (!std::isfinite(W.real()) || !std::isfinite(W.imag()))
            return false;
        if (std::abs(Step) <= 1e-15 * (std::abs(W) + 1e-300))
            return true;
    }
    return false;
}

// The largest r, by bisection, whose disk about Cycle[0] maps into its half with every disk below the
// escape radius; the cycle's moduli are rounded up a little for the rounding in computing them.
double Trap_Radius(const std::vector<double>& Moduli, double Escape_Radius)
{
    const auto Holds = [&](double R) {
        double M = 1;
        for (double W : Moduli) {
            if (!(W + M * R < Escape_Radius))
                return false;
            M *= 2 * W + M * R;
        }
        return M <= 0.5;
    };
    double Low = 0, High = Escape_Radius;
    if (!Holds(1e-300))
        return 0;
    for (int Turn = 0; Turn < 80; ++Turn) {
        const double Mid = 0.5 * (Low + High);
        (Holds(Mid) ? Low : High) = Mid;
    }
    return Low;
}

} // namespace

Julia_Trap Find_Julia_Trap(Orbit_Point Constant, double Bound)
{
    Julia_Trap Trap;
    const Complex C(Constant.Re, Constant.Im);
    Complex Z = 0;
    for (int k = 0; k < Settle_Steps; ++k) {
        Z = Z * Z + C;
        if (!(std::norm(Z) < 4))
            return Trap; // the critical orbit escapes: no attracting cycle
    }
    const int p = Settled_Period(C, Z);
    if (p == 0 || !Refine(C, p, Z))
        return Trap;
    std::vector<double> Moduli;
    Complex W = Z, L = 1, Dc = 0;
    for (int k = 0; k < p; ++k) {
        Moduli.push_back(std::abs(W) * (1 + 1e-12));
        Dc = 2.0 * W * Dc + 1.0;
        L = 2.0 * W * L;
        W = W * W + C;
    }
    if (!(std::abs(L) < 1))
        return Trap;
    // The cycle of the constant itself, not of its double, lies within |dw/dc| |c - double(c)| of Z.
    const double Shift = std::abs(Dc / (1.0 - L)) * 0x1p-52 * (std::abs(C) + 1) + 1e-14;
    const double R = 0.99 * Trap_Radius(Moduli, std::sqrt(Bound)) - Shift;
    if (!(R > 1e-12))
        return Trap;
    Trap.Re = Z.real(), Trap.Im = Z.imag();
    Trap.Radius_Squared = R * R;
    return Trap;
}

} // namespace Kestrine_Deep
