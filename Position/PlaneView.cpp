#include "PlaneView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// The centre keeps this many bits below the width's leading one, so that pans of a fraction of a
// pixel add up without loss long after any renderer resolves them.
constexpr long Bits_Below_Width = 64;
// The widths a renderer takes: the deep renderer's range, and one of no more than 16 wide matters.
constexpr long Smallest_Width_Exponent = -300000;
constexpr double Widest = 16;
// The centre's parts stay within this of 0, as typed centres and position files do: a view 16 wide
// there shows the last of either set at its edge.
constexpr double Farthest_Centre = 10;

constexpr double Log10_Of_2 = 0.30102999566398119521;

// log10 of |Value|, for any exponent (a double would underflow past 1e-308).
double Log10_Of(mpfr_srcptr Value)
{
    long Exponent = 0;
    const double Mantissa = mpfr_get_d_2exp(&Exponent, Value, MPFR_RNDN);
    return std::log10(std::fabs(Mantissa)) + double(Exponent) * Log10_Of_2;
}

// Decimal texts and binary precisions go together: d significant digits are read into B(d) bits, the
// fewest that keep every digit, and p bits are written as D(p) digits, the most that B reads back into
// no more than p bits. Since D(B(d)) = d and B(d) bits keep d digits, a text written and read again is
// written the same: positions do not grow with every pass. In integers, so that both always agree.
constexpr long long Bits_Per_Digit_E9 = 3321928095; // log2(10), times 10^9 and rounded up

mpfr_prec_t Bits_For_Digits(long long Digits)
{
    return mpfr_prec_t((Digits * Bits_Per_Digit_E9 + 999999999) / 1000000000 + 1);
}

int Digits_For_Bits(mpfr_prec_t Bits)
{
    return int(std::max<long long>(1, (static_cast<long long>(Bits) - 1) * 1000000000 / Bits_Per_Digit_E9));
}

// The significant digits of a decimal's mantissa: its digits from the first nonzero one on.
long long Significant_Digits(const std::string& Text)
{
    long long Digits = 0;
    for (const char Each : Text) {
        if (Each == 'e' || Each == 'E')
            break;
        if (Each >= '0' && Each <= '9' && (Digits > 0 || Each != '0'))
            ++Digits;
    }
    return Digits;
}

std::string Formatted(const char* Format, int Digits, mpfr_srcptr Value)
{
    char* Text = nullptr;
    if (mpfr_asprintf(&Text, Format, Digits, Value) < 0 || !Text)
        return "0";
    std::string Result(Text);
    mpfr_free_str(Text);
    return Result;
}

// Scientific notation to the digits that Bits hold, without the zeros that end its mantissa.
std::string Exact_Text_Of(mpfr_srcptr Value, mpfr_prec_t Bits)
{
    std::string Text = Formatted("%.*Re", Digits_For_Bits(Bits) - 1, Value);
    const std::size_t Exponent = Text.find('e');
    if (Exponent == std::string::npos || Text.find('.') == std::string::npos)
        return Text;
    std::size_t End = Text.find_last_not_of('0', Exponent - 1);
    if (Text[End] == '.')
        --End;
    return Text.erase(End + 1, Exponent - End - 1);
}

// Fixed notation to the decimals that resolve Step (10^-d <= Step), trailing zeros dropped.
std::string Fixed_To(mpfr_srcptr Value, mpfr_srcptr Step, bool Trim)
{
    const int Decimals = std::max(0, int(std::ceil(-Log10_Of(Step))));
    std::string Text = Formatted("%.*Rf", Decimals, Value);
    if (Trim && Text.find('.') != std::string::npos) {
        Text.erase(Text.find_last_not_of('0') + 1);
        if (Text.back() == '.')
            Text.pop_back();
    }
    // A negative number that rounds to zero is written as zero.
    if (Text[0] == '-' && Text.find_first_not_of("0.", 1) == std::string::npos)
        Text.erase(0, 1);
    return Text;
}

} // namespace

Big_Real::Big_Real(mpfr_prec_t Bits)
{
    mpfr_init2(Value, Bits);
    mpfr_set_zero(Value, 1);
}

Big_Real::Big_Real(const Big_Real& Other)
{
    mpfr_init2(Value, mpfr_get_prec(Other.Value));
    mpfr_set(Value, Other.Value, MPFR_RNDN);
}

Big_Real& Big_Real::operator=(const Big_Real& Other)
{
    if (this != &Other) {
        mpfr_set_prec(Value, mpfr_get_prec(Other.Value));
        mpfr_set(Value, Other.Value, MPFR_RNDN);
    }
    return *this;
}

Big_Real::~Big_Real()
{
    mpfr_clear(Value);
}

Plane_View::Plane_View()
{
    Set_Edges(-2, 2, -2, 2);
}

void Plane_View::Set_Edges(double X_Min, double X_Max, double Y_Min, double Y_Max)
{
    // Every float is a multiple of 2^-149 below 2^128, so the sum or difference of two float edges is
    // exact in 280 bits: a float window read back by Edges() gives the very same floats.
    for (Big_Real* Part : {&Centre_Re, &Centre_Im, &Width, &Height})
        mpfr_set_prec(Part->Get(), 280);
    mpfr_set_d(Centre_Re.Get(), X_Min, MPFR_RNDN);
    mpfr_add_d(Centre_Re.Get(), Centre_Re.Get(), X_Max, MPFR_RNDN);
    mpfr_div_2ui(Centre_Re.Get(), Centre_Re.Get(), 1, MPFR_RNDN);
    mpfr_set_d(Centre_Im.Get(), Y_Min, MPFR_RNDN);
    mpfr_add_d(Centre_Im.Get(), Centre_Im.Get(), Y_Max, MPFR_RNDN);
    mpfr_div_2ui(Centre_Im.Get(), Centre_Im.Get(), 1, MPFR_RNDN);
    mpfr_set_d(Width.Get(), X_Max, MPFR_RNDN);
    mpfr_sub_d(Width.Get(), Width.Get(), X_Min, MPFR_RNDN);
    mpfr_set_d(Height.Get(), Y_Max, MPFR_RNDN);
    mpfr_sub_d(Height.Get(), Height.Get(), Y_Min, MPFR_RNDN);
    Keep_Centre_Precise();
}

void Plane_View::Move_By(double Width_Fraction, double Height_Fraction)
{
    Big_Real Step(128);
    mpfr_mul_d(Step.Get(), Width.Get(), Width_Fraction, MPFR_RNDN);
    mpfr_add(Centre_Re.Get(), Centre_Re.Get(), Step.Get(), MPFR_RNDN);
    mpfr_mul_d(Step.Get(), Height.Get(), Height_Fraction, MPFR_RNDN);
    mpfr_add(Centre_Im.Get(), Centre_Im.Get(), Step.Get(), MPFR_RNDN);
    for (Big_Real* Part : {&Centre_Re, &Centre_Im}) {
        if (mpfr_cmp_d(Part->Get(), Farthest_Centre) > 0)
            mpfr_set_d(Part->Get(), Farthest_Centre, MPFR_RNDN);
        if (mpfr_cmp_d(Part->Get(), -Farthest_Centre) < 0)
            mpfr_set_d(Part->Get(), -Farthest_Centre, MPFR_RNDN);
    }
    Keep_Centre_Precise();
}

bool Plane_View::Zoom(double Factor)
{
    if (!(Factor > 0) || !std::isfinite(Factor))
        return false;
    const double Larger = std::max(mpfr_get_d(Width.Get(), MPFR_RNDN), mpfr_get_d(Height.Get(), MPFR_RNDN));
    if (Factor > 1 && Larger * Factor > Widest) {
        if (Larger >= Widest)
            return false;
        Factor = Widest / Larger;
    }
    Big_Real New_Width(Width), New_Height(Height);
    mpfr_mul_d(New_Width.Get(), New_Width.Get(), Factor, MPFR_RNDN);
    mpfr_mul_d(New_Height.Get(), New_Height.Get(), Factor, MPFR_RNDN);
    for (const Big_Real* Extent : {&New_Width, &New_Height}) {
        const long Exponent = mpfr_get_exp(Extent->Get());
        if (!mpfr_regular_p(Extent->Get()) || Exponent < Smallest_Width_Exponent)
            return false;
    }
    Width = New_Width, Height = New_Height;
    Keep_Centre_Precise();
    return true;
}

bool Plane_View::Set_Centre(const std::string& Re, const std::string& Im)
{
    // Every typed digit is kept, and the depth's own bits besides.
    const mpfr_prec_t Typed = std::max<mpfr_prec_t>(64, Bits_For_Digits(std::max(Significant_Digits(Re), Significant_Digits(Im))));
    Big_Real New_Re(std::max(Typed, Centre_Bits())), New_Im(std::max(Typed, Centre_Bits()));
    char* End = nullptr;
    for (auto [Text, Out] : {std::pair{&Re, &New_Re}, std::pair{&Im, &New_Im}}) {
        if (Text->empty())
            return false;
        mpfr_strtofr(Out->Get(), Text->c_str(), &End, 10, MPFR_RNDN);
        if (*End != '\0' || !mpfr_number_p(Out->Get()))
            return false;
    }
    Centre_Re = New_Re, Centre_Im = New_Im;
    Keep_Centre_Precise();
    return true;
}

bool Plane_View::Set(const std::string& Re, const std::string& Im, const std::string& Width_Text,
                     const std::string& Height_Text)
{
    // A new view, with nothing of this one's precision: as precise as its texts and its depth.
    Plane_View Read;
    for (auto [Text, Out] : {std::pair{&Width_Text, &Read.Width}, std::pair{&Height_Text, &Read.Height}}) {
        mpfr_set_prec(Out->Get(), std::max<mpfr_prec_t>(128, Bits_For_Digits(Significant_Digits(*Text))));
        char* End = nullptr;
        if (Text->empty() || (mpfr_strtofr(Out->Get(), Text->c_str(), &End, 10, MPFR_RNDN), *End != '\0') ||
            !mpfr_regular_p(Out->Get()) || mpfr_sgn(Out->Get()) <= 0)
            return false;
    }
    if (!Read.Set_Centre(Re, Im))
        return false;
    *this = Read;
    return true;
}

void Plane_View::Make_Square(int Columns, int Rows)
{
    if (Columns < 2 || Rows < 2)
        return;
    mpfr_mul_ui(Height.Get(), Width.Get(), static_cast<unsigned long>(Rows - 1), MPFR_RNDN);
    mpfr_div_ui(Height.Get(), Height.Get(), static_cast<unsigned long>(Columns - 1), MPFR_RNDN);
    Keep_Centre_Precise();
}

Float_Window Plane_View::Edges() const
{
    const mpfr_prec_t Bits = Centre_Bits() + 64;
    Big_Real Edge(Bits), Half(Bits);
    Float_Window Window{};
    for (const Axis Along : {Axis::Real, Axis::Imaginary}) {
        mpfr_div_2ui(Half.Get(), Extent(Along).Get(), 1, MPFR_RNDN);
        mpfr_sub(Edge.Get(), Centre(Along).Get(), Half.Get(), MPFR_RNDN);
        const float Low = mpfr_get_flt(Edge.Get(), MPFR_RNDN);
        mpfr_add(Edge.Get(), Centre(Along).Get(), Half.Get(), MPFR_RNDN);
        const float High = mpfr_get_flt(Edge.Get(), MPFR_RNDN);
        (Along == Axis::Real ? Window.X_Min : Window.Y_Min) = Low;
        (Along == Axis::Real ? Window.X_Max : Window.Y_Max) = High;
    }
    return Window;
}

std::string Plane_View::Centre_Text(Axis Along, int Pixels) const
{
    return Point_Text(Along, 0.0, Pixels, 0.1);
}

std::string Plane_View::Exact_Centre(Axis Along) const
{
    return Exact_Text_Of(Centre(Along).Get(), Centre_Bits());
}

std::string Plane_View::Exact_Extent(Axis Along) const
{
    return Exact_Text_Of(Extent(Along).Get(), mpfr_get_prec(Extent(Along).Get()));
}

std::string Plane_View::Extent_Text(Axis Along, double Factor, int Digits) const
{
    Big_Real Scaled(64);
    mpfr_mul_d(Scaled.Get(), Extent(Along).Get(), Factor, MPFR_RNDN);
    return Formatted("%.*Rg", Digits, Scaled.Get());
}

std::string Plane_View::Point_Text(Axis Along, double Fraction, int Pixels, double Resolution) const
{
    Big_Real Point(Centre_Bits() + 64), Spacing(64);
    mpfr_mul_d(Point.Get(), Extent(Along).Get(), Fraction, MPFR_RNDN);
    mpfr_add(Point.Get(), Point.Get(), Centre(Along).Get(), MPFR_RNDN);
    mpfr_div_ui(Spacing.Get(), Extent(Along).Get(), static_cast<unsigned long>(std::max(Pixels - 1, 1)), MPFR_RNDN);
    mpfr_mul_d(Spacing.Get(), Spacing.Get(), Resolution, MPFR_RNDN);
    return Fixed_To(Point.Get(), Spacing.Get(), Resolution < 1);
}

long Plane_View::Width_Exponent() const
{
    return mpfr_get_exp(Width.Get());
}

double Plane_View::Width_Ratio(const Plane_View& Other) const
{
    Big_Real Ratio(64);
    mpfr_div(Ratio.Get(), Width.Get(), Other.Width.Get(), MPFR_RNDN);
    return mpfr_get_d(Ratio.Get(), MPFR_RNDN);
}

double Plane_View::Offset_Of(const Plane_View& Other, Axis Along) const
{
    Big_Real Offset(std::max(Centre_Bits(), Other.Centre_Bits()) + 64);
    mpfr_sub(Offset.Get(), Other.Centre(Along).Get(), Centre(Along).Get(), MPFR_RNDN);
    mpfr_div(Offset.Get(), Offset.Get(), Extent(Along).Get(), MPFR_RNDN);
    return mpfr_get_d(Offset.Get(), MPFR_RNDN);
}

mpfr_prec_t Plane_View::Centre_Bits() const
{
    return std::max(mpfr_get_prec(Centre_Re.Get()), mpfr_get_prec(Centre_Im.Get()));
}

// The centre's precision only grows (raising it keeps the value exactly): what a pan added is never
// rounded away by zooming out and in again.
void Plane_View::Keep_Centre_Precise()
{
    long Magnitude = 1;
    for (const Big_Real* Part : {&Centre_Re, &Centre_Im})
        if (mpfr_regular_p(Part->Get()))
            Magnitude = std::max(Magnitude, long(mpfr_get_exp(Part->Get())));
    const long Smallest = std::min(Width_Exponent(), long(mpfr_get_exp(Height.Get())));
    const mpfr_prec_t Needed = mpfr_prec_t(std::max(64L, Magnitude - Smallest + Bits_Below_Width));
    for (Big_Real* Part : {&Centre_Re, &Centre_Im})
        if (mpfr_get_prec(Part->Get()) < Needed)
            mpfr_prec_round(Part->Get(), Needed, MPFR_RNDN);
}
