// Reading and checking deep views.
#include "DeepView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Kestrine_Deep {
namespace {

bool Is_Digit(char Ch)
{
    return Ch >= '0' && Ch <= '9';
}

// Views deeper than this would need references of more than about 330,000 bits a number.
constexpr long Smallest_Width_Exponent = -332200; // about 1e-100000

// An MPFR number that frees itself.
class Number {
public:
    explicit Number(mpfr_prec_t Precision) { mpfr_init2(Value, Precision); }
    ~Number() { mpfr_clear(Value); }
    Number(const Number&) = delete;
    Number& operator=(const Number&) = delete;
    operator mpfr_ptr() { return Value; }
    mpfr_ptr Get() { return Value; }

private:
    mpfr_t Value;
};

std::string Quoted(const std::string& Text)
{
    constexpr std::size_t Shown = 40;
    return "\"" + (Text.size() > Shown ? Text.substr(0, Shown) + "..." : Text) + "\"";
}

std::string Check_Decimal(const char* Field, const std::string& Text)
{
    if (!Is_Decimal(Text))
        return std::string(Field) + ": " + Quoted(Text) + " is not a decimal number (digits, one point, an optional exponent)";
    Number Value(64);
    if (!Read_Decimal(Text, Value) || (!mpfr_zero_p(Value.Get()) && mpfr_get_exp(Value.Get()) > 64))
        return std::string(Field) + ": " + Quoted(Text) + " is out of range (at most 1e19 in size)";
    return {};
}

std::string Check_Width(const std::string& Text)
{
    if (std::string Fault = Check_Decimal("width", Text); !Fault.empty())
        return Fault;
    long Exponent = 0;
    if (!Width_Exponent(Text, Exponent))
        return "width: " + Quoted(Text) + " is not positive";
    if (Exponent < Smallest_Width_Exponent)
        return "width: " + Quoted(Text) + " is too small (at most 100,000 decimal orders below 1)";
    if (Exponent > 64)
        return "width: " + Quoted(Text) + " is too large (at most 1e19)";
    return {};
}

} // namespace

bool Is_Decimal(const std::string& Text)
{
    std::size_t At = 0, Digits = 0;
    const std::size_t Size = Text.size();
    if (At < Size && (Text[At] == '+' || Text[At] == '-'))
        ++At;
    while (At < Size && Is_Digit(Text[At]))
        ++At, ++Digits;
    if (At < Size && Text[At] == '.') {
        ++At;
        while (At < Size && Is_Digit(Text[At]))
            ++At, ++Digits;
    }
    if (Digits == 0)
        return false;
    if (At < Size && (Text[At] == 'e' || Text[At] == 'E')) {
        ++At;
        if (At < Size && (Text[At] == '+' || Text[At] == '-'))
            ++At;
        std::size_t Exponent_Digits = 0;
        while (At < Size && Is_Digit(Text[At]))
            ++At, ++Exponent_Digits;
        // A longer exponent is out of every range a view can have; refusing it keeps MPFR's reading
        // of it away from overflow.
        if (Exponent_Digits == 0 || Exponent_Digits > 9)
            return false;
    }
    return At == Size;
}

bool Read_Decimal(const std::string& Text, mpfr_ptr Out)
{
    if (!Is_Decimal(Text))
        return false;
    return mpfr_set_str(Out, Text.c_str(), 10, MPFR_RNDN) == 0 && mpfr_number_p(Out);
}

bool Width_Exponent(const std::string& Text, long& Exponent)
{
    Number Width(64);
    if (!Read_Decimal(Text, Width) || mpfr_sgn(Width.Get()) <= 0)
        return false;
    Exponent = mpfr_get_exp(Width.Get());
    return true;
}

namespace {

// Extent / (Pixels - 1), the extent itself for one pixel, read and divided by MPFR: rounded once.
void Spacing_Of(const std::string& Extent, int Pixels, Number& Spacing)
{
    Read_Decimal(Extent, Spacing);
    if (Pixels > 1)
        mpfr_div_ui(Spacing, Spacing, static_cast<unsigned long>(Pixels - 1), MPFR_RNDN);
}

} // namespace

Deep_Numbers::Scaled_Real Pixel_Spacing(const Deep_View& View)
{
    Number Spacing(53);
    Spacing_Of(View.Width, View.Image_Width, Spacing);
    long Exponent = 0;
    const double Mantissa = mpfr_get_d_2exp(&Exponent, Spacing, MPFR_RNDN); // in [0.5, 1)
    return Deep_Numbers::Normalised(Mantissa, static_cast<int>(Exponent));
}

double Row_Ratio(const Deep_View& View)
{
    if (View.Height.empty())
        return 1.0;
    Number Columns(64), Rows(64);
    Spacing_Of(View.Width, View.Image_Width, Columns);
    Spacing_Of(View.Height, View.Image_Height, Rows);
    mpfr_div(Rows, Rows, Columns, MPFR_RNDN);
    return mpfr_get_d(Rows, MPFR_RNDN);
}

long Reference_Precision(const Deep_View& View)
{
    // The finer of the two spacings decides.
    const long Spacing_Bits = -static_cast<long>(Pixel_Spacing(View).Exp) + std::max(0L, -static_cast<long>(std::ilogb(Row_Ratio(View))));
    long Centre_Bits = 0;
    for (const std::string* Part : {&View.Centre_Re, &View.Centre_Im}) {
        Number Value(64);
        Read_Decimal(*Part, Value);
        if (!mpfr_zero_p(Value.Get()))
            Centre_Bits = std::max(Centre_Bits, static_cast<long>(mpfr_get_exp(Value.Get())));
    }
    // Rounded up to whole 256-bit steps, so that zooming in about one point keeps its reference for
    // about 77 decimal orders at a time.
    const long Bits = std::max(Spacing_Bits + Centre_Bits, 0L) + 96;
    return (Bits + 255) / 256 * 256;
}

long Reference_Bits_For(const Deep_View& View)
{
    return Check_View(View).empty() ? Reference_Precision(View) : 0;
}

std::string Check_View(const Deep_View& View)
{
    if (View.Set != Fractal_Set::Julia && View.Set != Fractal_Set::Mandelbrot)
        return "set: neither Julia nor Mandelbrot";
    if (std::string Fault = Check_Decimal("centre (real part)", View.Centre_Re); !Fault.empty())
        return Fault;
    if (std::string Fault = Check_Decimal("centre (imaginary part)", View.Centre_Im); !Fault.empty())
        return Fault;
    if (std::string Fault = Check_Width(View.Width); !Fault.empty())
        return Fault;
    if (!View.Height.empty()) {
        if (std::string Fault = Check_Width(View.Height); !Fault.empty())
            return "height" + Fault.substr(5);
    }
    if (View.Image_Width < 1 || View.Image_Height < 1 || View.Image_Width > Max_Image_Side ||
        View.Image_Height > Max_Image_Side)
        return "image size: " + std::to_string(View.Image_Width) + " x " + std::to_string(View.Image_Height) +
               "; each side must be 1 to " + std::to_string(Max_Image_Side);
    if (View.Iterations < 1 || View.Iterations > Max_Iterations)
        return "iterations: " + std::to_string(View.Iterations) + "; must be 1 to " + std::to_string(Max_Iterations);
    if (const double Ratio = Row_Ratio(View); !(Ratio >= 0x1p-20 && Ratio <= 0x1p20))
        return "height: " + Quoted(View.Height) + " gives rows more than 2^20 times as far apart or as near as the columns";
    if (View.Set == Fractal_Set::Julia) {
        if (std::string Fault = Check_Decimal("Julia constant (real part)", View.C_Re); !Fault.empty())
            return Fault;
        if (std::string Fault = Check_Decimal("Julia constant (imaginary part)", View.C_Im); !Fault.empty())
            return Fault;
    }
    return {};
}

Number_Type Number_Type_For(const Deep_View& View)
{
    if (!Check_View(View).empty())
        return Number_Type::Double;
    // Double while the spacing is 2^-970 or more: the smallest differences of the view then stay
    // clear of double's subnormal range, where they would lose their digits.
    const int Finest = Pixel_Spacing(View).Exp + std::min(0, std::ilogb(Row_Ratio(View)));
    return Finest >= -970 ? Number_Type::Double : Number_Type::Extended;
}

const char* Number_Type_Name(Number_Type Type)
{
    return Type == Number_Type::Extended ? "extended" : "double";
}

} // namespace Kestrine_Deep
