#include "Position.h"

#include <mpfr.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

namespace {

constexpr std::array<const char*, 7> Colormap_Names = {"HOT", "JET", "HSV", "BONE", "MORGENSTEMNING", "SKY", "ABYSS"};

std::string Trimmed(const std::string& Text)
{
    const std::size_t First = Text.find_first_not_of(" \t\r");
    if (First == std::string::npos)
        return {};
    return Text.substr(First, Text.find_last_not_of(" \t\r") - First + 1);
}

// A value as a message quotes it: whole when short, else its start and its length, so that a value of a
// million digits does not make a message of a million characters.
std::string Quoted(const std::string& Value)
{
    constexpr std::size_t Longest = 60;
    if (Value.size() <= Longest)
        return "\"" + Value + "\"";
    return "\"" + Value.substr(0, 40) + "...\" (" + std::to_string(Value.size()) + " characters)";
}

// An optional sign, digits with at most one point among them, an optional exponent.
bool Is_Decimal(const std::string& Text)
{
    std::size_t i = 0, Digits = 0;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-'))
        ++i;
    bool Point = false;
    for (; i < Text.size() && (std::isdigit(static_cast<unsigned char>(Text[i])) || Text[i] == '.'); ++i) {
        if (Text[i] == '.') {
            if (Point)
                return false;
            Point = true;
        } else {
            ++Digits;
        }
    }
    if (Digits == 0)
        return false;
    if (i < Text.size() && (Text[i] == 'e' || Text[i] == 'E')) {
        ++i;
        if (i < Text.size() && (Text[i] == '+' || Text[i] == '-'))
            ++i;
        const std::size_t Exponent_Start = i;
        while (i < Text.size() && std::isdigit(static_cast<unsigned char>(Text[i])))
            ++i;
        if (i == Exponent_Start || i - Exponent_Start > 9)
            return false;
    }
    return i == Text.size();
}

// A decimal with a minus sign before a nonzero digit of its mantissa ("-0" and "-0e5" are zero).
bool Is_Negative(const std::string& Decimal)
{
    const std::string Mantissa = Decimal.substr(0, Decimal.find_first_of("eE"));
    return !Mantissa.empty() && Mantissa[0] == '-' && Mantissa.find_first_of("123456789") != std::string::npos;
}

// Positive: 0 < Value <= Limit, and within the deep renderer's 100,000 decimal orders; otherwise
// |Value| <= Limit. Value is a decimal.
bool Within(const std::string& Value, double Limit, bool Positive)
{
    mpfr_t Number;
    mpfr_init2(Number, 64);
    mpfr_set_str(Number, Value.c_str(), 10, MPFR_RNDN);
    bool Fits;
    if (Positive) {
        Fits = mpfr_sgn(Number) > 0 && mpfr_cmp_d(Number, Limit) <= 0 && mpfr_get_exp(Number) >= -300000;
    } else {
        mpfr_abs(Number, Number, MPFR_RNDN);
        Fits = mpfr_cmp_d(Number, Limit) <= 0;
    }
    mpfr_clear(Number);
    return Fits;
}

using Reader = std::function<std::string(const std::string& Value, Position& Place)>;

std::string Decimal_Within(const std::string& Value, std::string& Field, double Limit, bool Positive)
{
    if (!Is_Decimal(Value))
        return Quoted(Value) + " is not a decimal number";
    if (!Within(Value, Limit, Positive)) {
        std::ostringstream Why;
        Why << Quoted(Value) << " is " << (Positive ? "not over 0 and at most " : "not within ") << Limit
            << (Positive ? "" : " of 0");
        return Why.str();
    }
    Field = Value;
    return {};
}

// A view no more than 2^20 times as high as it is wide, or as wide as high: past that a picture's
// pixels could not be spaced in both directions at once (the deep renderer refuses such a view).
bool Shape_Within(const std::string& Width, const std::string& Height)
{
    mpfr_t W, H;
    mpfr_inits2(64, W, H, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(W, Width.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(H, Height.c_str(), 10, MPFR_RNDN);
    mpfr_div(H, H, W, MPFR_RNDN);
    const bool Within = mpfr_cmp_d(H, 0x1p-20) >= 0 && mpfr_cmp_d(H, 0x1p20) <= 0;
    mpfr_clears(W, H, static_cast<mpfr_ptr>(nullptr));
    return Within;
}

const std::map<std::string, Reader>& Readers()
{
    static const std::map<std::string, Reader> Table = {
        {"set",
         [](const std::string& V, Position& P) -> std::string {
             if (V != "julia" && V != "mandelbrot")
                 return Quoted(V) + " is neither julia nor mandelbrot";
             P.Mandelbrot = V == "mandelbrot";
             return {};
         }},
        {"centre-re", [](const std::string& V, Position& P) { return Decimal_Within(V, P.Centre_Re, 10, false); }},
        {"centre-im", [](const std::string& V, Position& P) { return Decimal_Within(V, P.Centre_Im, 10, false); }},
        {"width", [](const std::string& V, Position& P) { return Decimal_Within(V, P.Width, 16, true); }},
        {"height", [](const std::string& V, Position& P) { return Decimal_Within(V, P.Height, 16, true); }},
        // 0 to 5, as the program's slider: at 0 every pixel escapes at once, and that is a place too.
        {"threshold",
         [](const std::string& V, Position& P) {
             std::string Read;
             std::string Fault = Decimal_Within(V, Read, 5, false);
             if (Fault.empty() && Is_Negative(V))
                 Fault = Quoted(V) + " is below 0";
             if (Fault.empty())
                 P.Threshold = Read;
             return Fault;
         }},
        {"julia-re", [](const std::string& V, Position& P) { return Decimal_Within(V, P.Julia_Re, 2, false); }},
        {"julia-im", [](const std::string& V, Position& P) { return Decimal_Within(V, P.Julia_Im, 2, false); }},
        {"iterations",
         [](const std::string& V, Position& P) -> std::string {
             char* End = nullptr;
             errno = 0;
             const long long Count = std::strtoll(V.c_str(), &End, 10);
             if (V.empty() || *End != '\0' || errno == ERANGE || Count < 0 || Count > 2147483647)
                 return Quoted(V) + " is not a count from 0 to 2147483647";
             P.Iterations = Count;
             return {};
         }},
        {"colormap",
         [](const std::string& V, Position& P) -> std::string {
             const int Value = Colormap_Value(V);
             if (Value == 0)
                 return Quoted(V) + " is none of HOT, HSV, JET, BONE, MORGENSTEMNING, SKY, ABYSS";
             P.Colormap = Colormap_Name(Value);
             return {};
         }},
        {"colouring",
         [](const std::string& V, Position& P) -> std::string {
             if (V != "table" && V != "cycle" && V != "smooth")
                 return Quoted(V) + " is none of table, cycle, smooth";
             P.Colouring = V;
             return {};
         }},
        {"density",
         [](const std::string& V, Position& P) -> std::string {
             std::string Text;
             if (std::string Fault = Decimal_Within(V, Text, 100, true); !Fault.empty())
                 return Fault;
             // A density that double holds as 0 would be written back as 0, which no position reads.
             const double Density = std::strtod(Text.c_str(), nullptr);
             if (!(Density > 0))
                 return Quoted(V) + " is below the smallest density a position can hold";
             P.Density = Density;
             return {};
         }},
    };
    return Table;
}

} // namespace

int Colormap_Value(const std::string& Name)
{
    // In any case: "jet" is JET, in a file as on the command line.
    for (std::size_t i = 0; i < Colormap_Names.size(); ++i) {
        const std::string Upper = Colormap_Names[i];
        bool Same = Name.size() == Upper.size();
        for (std::size_t c = 0; Same && c < Name.size(); ++c)
            Same = std::toupper(static_cast<unsigned char>(Name[c])) == Upper[c];
        if (Same)
            return int(i) + 1;
    }
    return 0;
}

const char* Colormap_Name(int Value)
{
    return Value >= 1 && Value <= int(Colormap_Names.size()) ? Colormap_Names[std::size_t(Value) - 1] : "";
}

std::string Position_Text(const Position& Place)
{
    std::ostringstream Text;
    Text.precision(17);
    Text << "# Vorlane position\n"
         << "set = " << (Place.Mandelbrot ? "mandelbrot" : "julia") << "\n"
         << "centre-re = " << Place.Centre_Re << "\n"
         << "centre-im = " << Place.Centre_Im << "\n"
         << "width = " << Place.Width << "\n"
         << "height = " << Place.Height << "\n"
         << "iterations = " << Place.Iterations << "\n"
         << "threshold = " << Place.Threshold << "\n"
         << "julia-re = " << Place.Julia_Re << "\n"
         << "julia-im = " << Place.Julia_Im << "\n"
         << "colormap = " << Place.Colormap << "\n"
         << "colouring = " << Place.Colouring << "\n"
         << "density = " << Place.Density << "\n";
    return Text.str();
}

bool Read_Position(const std::string& Text, Position& Place, std::string& Problem)
{
    Position Read;
    bool Has_Set = false, Has_Re = false, Has_Im = false, Has_Width = false, Has_Height = false;
    // A byte-order mark before the first line, and lines ended by CR LF, LF or CR alike.
    std::string Unified = Text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? Text.substr(3) : Text;
    for (std::size_t At = Unified.find('\r'); At != std::string::npos; At = Unified.find('\r', At))
        Unified.replace(At, At + 1 < Unified.size() && Unified[At + 1] == '\n' ? 2 : 1, "\n");
    std::istringstream Lines(Unified);
    std::string Line;
    std::map<std::string, int> Line_Of;
    for (int Number = 1; std::getline(Lines, Line); ++Number) {
        const std::string Content = Trimmed(Line);
        if (Content.empty() || Content[0] == '#')
            continue;
        const std::size_t Equals = Content.find('=');
        if (Equals == std::string::npos) {
            Problem = "line " + std::to_string(Number) + ": no \"key = value\"";
            return false;
        }
        const std::string Key = Trimmed(Content.substr(0, Equals)), Value = Trimmed(Content.substr(Equals + 1));
        const auto Reader = Readers().find(Key);
        if (Reader == Readers().end())
            continue;
        if (const auto [First, New] = Line_Of.emplace(Key, Number); !New) {
            Problem = "line " + std::to_string(Number) + ": " + Key + " again (first on line " +
                      std::to_string(First->second) + ")";
            return false;
        }
        if (std::string Fault = Reader->second(Value, Read); !Fault.empty()) {
            Problem = "line " + std::to_string(Number) + ": " + Key + ": " + Fault;
            return false;
        }
        Has_Set |= Key == "set", Has_Re |= Key == "centre-re", Has_Im |= Key == "centre-im";
        Has_Width |= Key == "width", Has_Height |= Key == "height";
    }
    for (const auto& [Has, Key] : {std::pair{Has_Set, "set"}, {Has_Re, "centre-re"}, {Has_Im, "centre-im"}, {Has_Width, "width"}})
        if (!Has) {
            Problem = std::string("no ") + Key;
            return false;
        }
    if (!Has_Height)
        Read.Height = Read.Width;
    if (!Shape_Within(Read.Width, Read.Height)) {
        Problem = "line " + std::to_string(Line_Of["height"]) + ": height: " + Quoted(Read.Height) +
                  " is more than 2^20 times the width or less than 2^-20 of it";
        return false;
    }
    Place = Read;
    return true;
}
