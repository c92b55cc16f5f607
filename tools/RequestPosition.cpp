// kestrine-render's positions: the one a request renders, written beside or into its picture, and the
// one --position reads into a request.
#include "RenderTool.h"

#include "PictureText.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace Render_Tool {
namespace {

constexpr auto Longest_Position_File = static_cast<std::streamsize>(Longest_Position_Text);

bool Ends_With(const std::string& Text, const std::string& End)
{
    if (Text.size() < End.size())
        return false;
    for (std::size_t i = 0; i < End.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(Text[Text.size() - End.size() + i])) != End[i])
            return false;
    return true;
}

// The text of a position file, or the one a PNG carries; false, having said why, when there is none.
bool Read_Source(const std::string& Path, std::string& Text, std::string& Problem, Picture_Size& Size)
{
    if (Ends_With(Path, ".png"))
        return Picture_Position_Text(Path, Text, Problem, &Size);
    std::ifstream File(Path, std::ios::binary);
    if (!File) {
        Problem = "cannot be opened";
        return false;
    }
    std::string Read(Longest_Position_File + 1, '\0');
    File.read(Read.data(), Longest_Position_File + 1);
    if (File.bad() || File.gcount() > Longest_Position_File) {
        Problem = File.bad() ? "cannot be read" : "is far too long for a position";
        return false;
    }
    Read.resize(static_cast<std::size_t>(File.gcount()));
    Text = std::move(Read);
    return true;
}

} // namespace

Position Position_Of(const Request& R, const Float_Window* Float_Engines)
{
    Position Place;
    Place.Mandelbrot = R.Mandelbrot;
    Plane_View Exact;
    if (Float_Engines) {
        // The view the float engine rendered: exactly its edges, which read back to the same floats.
        const Float_Window& W = *Float_Engines;
        Exact.Set_Edges(W.X_Min, W.X_Max, W.Y_Min, W.Y_Max);
        Place.Centre_Re = Exact.Exact_Centre(Axis::Real);
        Place.Centre_Im = Exact.Exact_Centre(Axis::Imaginary);
        Place.Width = Exact.Exact_Extent(Axis::Real);
        Place.Height = Exact.Exact_Extent(Axis::Imaginary);
    } else {
        // The deep engine's view as typed; without a height its pixels are square.
        Place.Centre_Re = R.Centre_Re;
        Place.Centre_Im = R.Centre_Im;
        Place.Width = R.Plane_Width;
        Place.Height = R.Plane_Height;
        if (Place.Height.empty() && Exact.Set("0", "0", R.Plane_Width, R.Plane_Width)) {
            Exact.Make_Square(R.Width, R.Height);
            Place.Height = Exact.Exact_Extent(Axis::Imaginary);
        }
    }
    Place.Iterations = R.Iterations;
    Place.Threshold = R.Threshold;
    Place.Julia_Re = R.C_Re;
    Place.Julia_Im = R.C_Im;
    Place.Colormap = Colormap_Name(R.Colormap);
    Place.Colouring = Kestrine_Deep::Colouring_Name(R.Colouring);
    Place.Density = R.Density;
    return Place;
}

bool Load_Position(const std::string& Path, Request& R, std::string& Problem)
{
    std::string Text;
    Position Place;
    Picture_Size Size;
    if (!Read_Source(Path, Text, Problem, Size) || !Read_Position(Text, Place, Problem)) {
        Problem = Path + ": " + Problem;
        return false;
    }
    // A picture renders again at its own size (a later --size changes it, as any option after --position).
    if (Size.Width > 0 && Size.Height > 0) {
        R.Width = Size.Width;
        R.Height = Size.Height;
    }
    R.Mandelbrot = Place.Mandelbrot;
    R.Centre_Re = Place.Centre_Re;
    R.Centre_Im = Place.Centre_Im;
    R.Plane_Width = Place.Width;
    R.Plane_Height = Place.Height;
    R.Bounds_Given = R.Square = false;
    R.Iterations = static_cast<int>(Place.Iterations);
    R.Threshold = Place.Threshold;
    R.C_Re = Place.Julia_Re;
    R.C_Im = Place.Julia_Im;
    R.Colormap = Colormap_Value(Place.Colormap);
    R.Colouring = Kestrine_Deep::Colouring::Table;
    Kestrine_Deep::Colouring_Named(Place.Colouring, R.Colouring);
    R.Density = Place.Density;
    return true;
}

bool Position_Holds(const Request& R, std::string& Problem)
{
    const Float_Window W = Float_Window_Of(R);
    Position Read;
    std::string Fault;
    if (Read_Position(Position_Text(Position_Of(R, R.Bounds_Given ? &W : nullptr)), Read, Fault))
        return true;
    // "line N: key: why" names the position's key; the user gave an option.
    const std::size_t Key_At = Fault.find(": ") == std::string::npos ? 0 : Fault.find(": ") + 2;
    const std::string Why = Fault.substr(Key_At), Key = Why.substr(0, Why.find(':'));
    static const std::pair<const char*, const char*> Options[] = {
        {"centre-re", "--center"}, {"centre-im", "--center"}, {"width", "--width"},    {"height", "--width"},
        {"threshold", "--threshold"}, {"julia-re", "--c"},   {"julia-im", "--c"},    {"iterations", "--iterations"},
        {"colormap", "--colormap"}, {"colouring", "--colouring"}, {"density", "--density"}};
    const bool Of_Window = Key == "centre-re" || Key == "centre-im" || Key == "width" || Key == "height";
    std::string Option = "the options";
    for (const auto& [Of_Key, Name] : Options)
        if (Key == Of_Key)
            Option = R.Bounds_Given && Of_Window ? "--window" : Name;
    Problem = "no position can hold what " + Option + " asks for: " + Why;
    return false;
}

} // namespace Render_Tool
