#include "Misiurewicz.h"

#include <mpfr.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace Misiurewicz {
namespace {

class Real {
public:
    explicit Real(mpfr_prec_t Precision) { mpfr_init2(Value, Precision); }
    ~Real() { mpfr_clear(Value); }
    Real(const Real&) = delete;
    Real& operator=(const Real&) = delete;
    operator mpfr_ptr() { return Value; }

private:
    mpfr_t Value;
};

// Complex numbers as MPFR pairs; only the handful of operations the orbit and Newton need.
struct Complex {
    explicit Complex(mpfr_prec_t Precision) : Re(Precision), Im(Precision) {}
    Real Re, Im;
};

struct Scratch {
    explicit Scratch(mpfr_prec_t Precision) : A(Precision), B(Precision), C(Precision), D(Precision) {}
    Real A, B, C, D;
};

void Set(Complex& Out, Complex& X)
{
    mpfr_set(Out.Re, X.Re, MPFR_RNDN);
    mpfr_set(Out.Im, X.Im, MPFR_RNDN);
}

void Sub(Complex& Out, Complex& X, Complex& Y)
{
    mpfr_sub(Out.Re, X.Re, Y.Re, MPFR_RNDN);
    mpfr_sub(Out.Im, X.Im, Y.Im, MPFR_RNDN);
}

void Add(Complex& Out, Complex& X, Complex& Y)
{
    mpfr_add(Out.Re, X.Re, Y.Re, MPFR_RNDN);
    mpfr_add(Out.Im, X.Im, Y.Im, MPFR_RNDN);
}

// Out may be X or Y.
void Mul(Complex& Out, Complex& X, Complex& Y, Scratch& S)
{
    mpfr_mul(S.A, X.Re, Y.Re, MPFR_RNDN);
    mpfr_mul(S.B, X.Im, Y.Im, MPFR_RNDN);
    mpfr_mul(S.C, X.Re, Y.Im, MPFR_RNDN);
    mpfr_mul(S.D, X.Im, Y.Re, MPFR_RNDN);
    mpfr_sub(Out.Re, S.A, S.B, MPFR_RNDN);
    mpfr_add(Out.Im, S.C, S.D, MPFR_RNDN);
}

void Norm(mpfr_ptr Out, Complex& X, Scratch& S)
{
    mpfr_sqr(S.A, X.Re, MPFR_RNDN);
    mpfr_sqr(S.B, X.Im, MPFR_RNDN);
    mpfr_add(Out, S.A, S.B, MPFR_RNDN);
}

// X / Y as X conj(Y) / |Y|^2; Out may be X or Y.
void Div(Complex& Out, Complex& X, Complex& Y, Scratch& S, mpfr_ptr Norm_Scratch)
{
    Norm(Norm_Scratch, Y, S);
    mpfr_mul(S.A, X.Re, Y.Re, MPFR_RNDN);
    mpfr_mul(S.B, X.Im, Y.Im, MPFR_RNDN);
    mpfr_mul(S.C, X.Im, Y.Re, MPFR_RNDN);
    mpfr_mul(S.D, X.Re, Y.Im, MPFR_RNDN);
    mpfr_add(Out.Re, S.A, S.B, MPFR_RNDN);
    mpfr_sub(Out.Im, S.C, S.D, MPFR_RNDN);
    mpfr_div(Out.Re, Out.Re, Norm_Scratch, MPFR_RNDN);
    mpfr_div(Out.Im, Out.Im, Norm_Scratch, MPFR_RNDN);
}

bool Parse(const char* Text, mpfr_ptr Out)
{
    if (Text == nullptr || *Text == '\0') return false;
    return mpfr_set_str(Out, Text, 10, MPFR_RNDN) == 0 && mpfr_number_p(Out);
}

bool Valid_Orders(int Preperiod, int Period) { return Preperiod >= 0 && Preperiod <= 1000 && Period >= 1 && Period <= 1000; }

// z(j) and dz(j)/dc for j = 0 .. k + p at c.
struct Orbit {
    Orbit(int Length, mpfr_prec_t Precision)
    {
        for (int J = 0; J < Length; ++J) {
            Z.push_back(std::make_unique<Complex>(Precision));
            Dz.push_back(std::make_unique<Complex>(Precision));
        }
    }

    void Run(Complex& C, Scratch& S)
    {
        mpfr_set_zero(Z[0]->Re, 1);
        mpfr_set_zero(Z[0]->Im, 1);
        mpfr_set_zero(Dz[0]->Re, 1);
        mpfr_set_zero(Dz[0]->Im, 1);
        for (std::size_t J = 0; J + 1 < Z.size(); ++J) {
            // dz(j+1) = 2 z(j) dz(j) + 1, then z(j+1) = z(j)^2 + c.
            Mul(*Dz[J + 1], *Z[J], *Dz[J], S);
            mpfr_mul_2ui(Dz[J + 1]->Re, Dz[J + 1]->Re, 1, MPFR_RNDN);
            mpfr_mul_2ui(Dz[J + 1]->Im, Dz[J + 1]->Im, 1, MPFR_RNDN);
            mpfr_add_ui(Dz[J + 1]->Re, Dz[J + 1]->Re, 1, MPFR_RNDN);
            Mul(*Z[J + 1], *Z[J], *Z[J], S);
            Add(*Z[J + 1], *Z[J + 1], C);
        }
    }

    std::vector<std::unique_ptr<Complex>> Z, Dz;
};

// The pairs (a, b) whose differences z(a) - z(b) make up g: the numerator first, then the divisors.
//
// With h(i) = z(i+p) - z(i), h(i+1) = h(i) (z(i+p) + z(i)), and at a point of exact preperiod k' < k
// the second factor is 2 z(i) for i >= k', never 0 (0 is not on its cycle). So such a point is a
// simple root of h(k) but a root of each of h(k'), ..., h(k-1): in g = h(k) / prod_{i<k} h(i) it
// becomes a pole or a removable point and repels Newton. Dividing also by z(k+q) - z(k) for the
// proper divisors q of p does the same for the points of preperiod k whose period is shorter.
std::vector<std::pair<int, int>> Factors(int Preperiod, int Period)
{
    std::vector<std::pair<int, int>> Pairs{{Preperiod + Period, Preperiod}};
    for (int I = 0; I < Preperiod; ++I) Pairs.push_back({I + Period, I});
    for (int Q = 1; Q < Period; ++Q)
        if (Period % Q == 0) Pairs.push_back({Preperiod + Q, Preperiod});
    return Pairs;
}

// The Newton step -g / g' = -1 / (g'/g), with g'/g summed factor by factor as (dz(a) - dz(b)) / (z(a) - z(b)),
// so that g itself, whose value may be tiny or huge, is never formed. False where a factor vanishes.
bool Newton_Step(Orbit& State, const std::vector<std::pair<int, int>>& Pairs, Complex& Step, mpfr_prec_t Precision)
{
    Scratch S(Precision);
    Complex Sum(Precision), Value(Precision), Slope(Precision);
    Real Norm_Scratch(Precision);
    mpfr_set_zero(Sum.Re, 1);
    mpfr_set_zero(Sum.Im, 1);
    for (std::size_t F = 0; F < Pairs.size(); ++F) {
        Sub(Value, *State.Z[Pairs[F].first], *State.Z[Pairs[F].second]);
        Sub(Slope, *State.Dz[Pairs[F].first], *State.Dz[Pairs[F].second]);
        if (mpfr_zero_p(Value.Re) && mpfr_zero_p(Value.Im)) return false;
        Div(Slope, Slope, Value, S, Norm_Scratch);
        if (F == 0)
            Add(Sum, Sum, Slope);
        else
            Sub(Sum, Sum, Slope);
    }
    if (mpfr_zero_p(Sum.Re) && mpfr_zero_p(Sum.Im)) return false;
    mpfr_set_si(Value.Re, -1, MPFR_RNDN);
    mpfr_set_zero(Value.Im, 1);
    Div(Step, Value, Sum, S, Norm_Scratch);
    return mpfr_number_p(Step.Re) && mpfr_number_p(Step.Im);
}

std::string Decimal(mpfr_ptr X, int Digits)
{
    char* Text = nullptr;
    if (mpfr_asprintf(&Text, "%.*Re", Digits - 1, X) < 0 || Text == nullptr) return std::string();
    std::string Out(Text);
    mpfr_free_str(Text);
    return Out;
}

// log2 |X| as a double; -inf for 0.
double Log2_Abs(Complex& X, mpfr_prec_t Precision)
{
    Scratch S(Precision);
    Real Value(Precision);
    Norm(Value, X, S);
    if (mpfr_zero_p(Value)) return -std::numeric_limits<double>::infinity();
    mpfr_log2(Value, Value, MPFR_RNDN);
    const double Out = mpfr_get_d(Value, MPFR_RNDN) / 2;
    // The logarithm caches constants per thread; a caller's short-lived threads would leak them.
    mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE);
    return Out;
}

} // namespace

Check Measure(int Preperiod, int Period, const char* Re, const char* Im, int Bits)
{
    Check Out;
    if (!Valid_Orders(Preperiod, Period) || Bits < 16 || Bits > (1 << 20)) return Out;
    const mpfr_prec_t Precision = Bits;
    Complex C(Precision), Difference(Precision), Multiplier(Precision), Two_Z(Precision);
    if (!Parse(Re, C.Re) || !Parse(Im, C.Im)) return Out;
    Scratch S(Precision);
    Orbit State(Preperiod + Period + 1, Precision);
    State.Run(C, S);
    const std::vector<std::pair<int, int>> Pairs = Factors(Preperiod, Period);
    Out.Log2_Lower = std::numeric_limits<double>::infinity();
    for (std::size_t F = 0; F < Pairs.size(); ++F) {
        Sub(Difference, *State.Z[Pairs[F].first], *State.Z[Pairs[F].second]);
        const double Size = Log2_Abs(Difference, Precision);
        if (F == 0)
            Out.Log2_Residual = Size;
        else
            Out.Log2_Lower = std::min(Out.Log2_Lower, Size);
    }
    mpfr_set_ui(Multiplier.Re, 1, MPFR_RNDN);
    mpfr_set_zero(Multiplier.Im, 1);
    for (int I = 0; I < Period; ++I) {
        Set(Two_Z, *State.Z[Preperiod + I]);
        mpfr_mul_2ui(Two_Z.Re, Two_Z.Re, 1, MPFR_RNDN);
        mpfr_mul_2ui(Two_Z.Im, Two_Z.Im, 1, MPFR_RNDN);
        Mul(Multiplier, Multiplier, Two_Z, S);
    }
    Out.Multiplier_Abs = std::exp2(Log2_Abs(Multiplier, Precision));
    Out.Multiplier_Arg = std::atan2(mpfr_get_d(Multiplier.Im, MPFR_RNDN), mpfr_get_d(Multiplier.Re, MPFR_RNDN));
    Out.Valid = true;
    return Out;
}

Point Find(int Preperiod, int Period, const char* Seed_Re, const char* Seed_Im, int Bits)
{
    Point Out;
    try {
        if (!Valid_Orders(Preperiod, Period) || Bits < 16 || Bits > (1 << 20)) return Out;
        // Guard bits so that the last steps, and the stopping test, are not decided by rounding.
        const mpfr_prec_t Precision = static_cast<mpfr_prec_t>(Bits) + 64;
        Complex C(Precision), Step(Precision);
        if (!Parse(Seed_Re, C.Re) || !Parse(Seed_Im, C.Im)) return Out;
        Scratch S(Precision);
        Real Step_Size(Precision), Size(Precision);
        Orbit State(Preperiod + Period + 1, Precision);
        const std::vector<std::pair<int, int>> Pairs = Factors(Preperiod, Period);
        bool Converged = false;
        // Quadratic convergence needs a few dozen steps from a good seed even at a million bits;
        // the rest allows for a seed that wanders before it is caught.
        for (int Steps = 1; Steps <= 400 && !Converged; ++Steps) {
            State.Run(C, S);
            if (!Newton_Step(State, Pairs, Step, Precision)) return Out;
            Add(C, C, Step);
            Out.Newton_Steps = Steps;
            // |step| < 2^-Bits |c|, squared on both sides.
            Norm(Step_Size, Step, S);
            Norm(Size, C, S);
            mpfr_mul_2si(Size, Size, -2 * static_cast<long>(Bits), MPFR_RNDN);
            Converged = mpfr_less_p(Step_Size, Size);
        }
        if (!Converged) return Out;
        // Digits for Bits bits and two more, so that reading the strings back loses nothing.
        const int Digits = static_cast<int>(std::ceil(Bits * std::log10(2.0))) + 2;
        Out.Re = Decimal(C.Re, Digits);
        Out.Im = Decimal(C.Im, Digits);
        if (Out.Re.empty() || Out.Im.empty()) return Out;
        // The root must be this preperiod and period: z(k+p) = z(k) to the precision, and every lower
        // preperiod or shorter period clearly not.
        const Check Result = Measure(Preperiod, Period, Out.Re.c_str(), Out.Im.c_str(), static_cast<int>(Precision));
        Out.Found = Result.Valid && Result.Log2_Residual < -0.9 * Bits && Result.Log2_Lower > -0.5 * Bits;
        return Out;
    } catch (...) {
        return Point();
    }
}

// The branch point where the 1/3 limb's antenna splits in three, with preperiod 4 and period 1 (z(0) = 0).
// Its cycle's multiplier is about 1.328 at an angle of 2.087 (120 degrees less a little), so the three
// arms wind slowly into spirals and the same picture comes back, turned, each time the width shrinks by
// that factor. The small modulus makes the escape counts climb with depth (about ln(1/width) / ln 1.328,
// some 2,400 at 1e-300), so the deep views use many of their iterations. Found by Newton's method from a
// grid of seeds over the upper half plane; this seed, rounded from the grid, converges to it.
const char* const Example_Seed_Re = "-0.1";
const char* const Example_Seed_Im = "0.96";

Point Example(int Bits) { return Find(Example_Preperiod, Example_Period, Example_Seed_Re, Example_Seed_Im, Bits); }

} // namespace Misiurewicz
