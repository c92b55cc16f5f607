// The frames of a zoom video: the view of each, and the names of its files. Each frame's view follows
// from its number alone, so that frames rendered apart (a slice each) are the very frames of one run.
#include "RenderTool.h"

#include <mpfr.h>

#include <cctype>
#include <cstdlib>

namespace Render_Tool {
namespace {

// Decimal digits of each frame's extents: far beyond a pixel at any zoom factor a frame can have.
constexpr int Extent_Digits = 30;
constexpr mpfr_prec_t Extent_Bits = 128;

// One piece of a pattern: text as it stands, or the place for the frame's number.
struct Pattern_Piece {
    std::string Text;
    bool Number = false;
    bool Zero_Padded = false;
    int Width = 0;
};

// Empty Fault when Pattern reads; its pieces in order.
std::vector<Pattern_Piece> Pieces_Of(const std::string& Pattern, std::string& Fault)
{
    std::vector<Pattern_Piece> Pieces(1);
    int Numbers = 0;
    for (std::size_t i = 0; i < Pattern.size(); ++i) {
        if (Pattern[i] != '%') {
            Pieces.back().Text += Pattern[i];
            continue;
        }
        if (i + 1 < Pattern.size() && Pattern[i + 1] == '%') {
            Pieces.back().Text += '%';
            ++i;
            continue;
        }
        Pattern_Piece Number;
        Number.Number = true;
        std::size_t j = i + 1;
        Number.Zero_Padded = j < Pattern.size() && Pattern[j] == '0';
        for (; j < Pattern.size() && std::isdigit(static_cast<unsigned char>(Pattern[j])) && Number.Width < 100; ++j)
            Number.Width = 10 * Number.Width + (Pattern[j] - '0');
        if (j >= Pattern.size() || Pattern[j] != 'd' || Number.Width > 20) {
            Fault = "a % in a frame's file name must be %d (as in %05d) or %%: " + Pattern;
            return {};
        }
        ++Numbers;
        Pieces.push_back(Number);
        Pieces.emplace_back();
        i = j;
    }
    if (Numbers != 1)
        Fault = "each file of a zoom video needs one %d for the frame's number, as in frame-%05d.png: " + Pattern;
    return Pieces;
}

// Extent times Ratio^Fraction, Ratio = To / From.
std::string Scaled_Extent(const std::string& Extent, const std::string& From, const std::string& To, long Frame,
                          long Last)
{
    mpfr_t Value, Power, Log_To;
    mpfr_inits2(Extent_Bits, Value, Power, Log_To, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(Power, From.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(Log_To, To.c_str(), 10, MPFR_RNDN);
    mpfr_log(Power, Power, MPFR_RNDN);
    mpfr_log(Log_To, Log_To, MPFR_RNDN);
    mpfr_sub(Power, Log_To, Power, MPFR_RNDN);
    mpfr_mul_si(Power, Power, Frame, MPFR_RNDN);
    mpfr_div_si(Power, Power, Last, MPFR_RNDN);
    mpfr_exp(Power, Power, MPFR_RNDN);
    mpfr_set_str(Value, Extent.c_str(), 10, MPFR_RNDN);
    mpfr_mul(Value, Value, Power, MPFR_RNDN);
    char* Text = nullptr;
    const int Length = mpfr_asprintf(&Text, "%.*Re", Extent_Digits - 1, Value);
    std::string Result = Length >= 0 ? std::string(Text) : Extent;
    if (Length >= 0)
        mpfr_free_str(Text);
    mpfr_clears(Value, Power, Log_To, static_cast<mpfr_ptr>(nullptr));
    return Result;
}

} // namespace

std::string Frame_Pattern_Fault(const std::string& Pattern)
{
    std::string Fault;
    Pieces_Of(Pattern, Fault);
    return Fault;
}

std::string Frame_Name(const std::string& Pattern, int Frame)
{
    std::string Fault, Name;
    for (const Pattern_Piece& Piece : Pieces_Of(Pattern, Fault)) {
        if (!Piece.Number) {
            Name += Piece.Text;
            continue;
        }
        const std::string Digits = std::to_string(Frame);
        if (int(Digits.size()) < Piece.Width)
            Name.append(std::size_t(Piece.Width) - Digits.size(), Piece.Zero_Padded ? '0' : ' ');
        Name += Digits;
    }
    return Name;
}

Request Frame_Request(const Request& R, int Frame)
{
    Request Each = R;
    Each.Frames = 0;
    const long Last = R.Frames - 1;
    if (Frame == Last && Last > 0)
        Each.Plane_Width = R.Zoom_To;
    else if (Frame > 0)
        Each.Plane_Width = Scaled_Extent(R.Plane_Width, R.Plane_Width, R.Zoom_To, Frame, Last);
    if (!R.Plane_Height.empty() && Frame > 0)
        Each.Plane_Height = Scaled_Extent(R.Plane_Height, R.Plane_Width, R.Zoom_To, Frame, Last);
    for (std::string* Name : {&Each.Output, &Each.Counts_Output, &Each.Position_Output})
        if (!Name->empty())
            *Name = Frame_Name(*Name, Frame);
    return Each;
}

} // namespace Render_Tool
