#include "Explorer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "RenderChoice.h"

namespace {

// Count ten-thousandths as a decimal, exactly and without trailing zeros: -4001 gives "-0.4001", 6000
// gives "0.6".
std::string Ten_Thousandths(int Count)
{
    const long long Magnitude = Count < 0 ? -static_cast<long long>(Count) : Count;
    std::string Text = (Count < 0 ? "-" : "") + std::to_string(Magnitude / 10000);
    std::string Fraction = std::to_string(10000 + Magnitude % 10000).substr(1);
    while (!Fraction.empty() && Fraction.back() == '0')
        Fraction.pop_back();
    return Fraction.empty() ? Text : Text + "." + Fraction;
}

// Every digit of Value: a float is a binary fraction, and so a decimal of finitely many digits.
std::string Exact_Text(float Value)
{
    // 160 significant digits hold the longest float, the smallest subnormal's 105 included; %g drops
    // the zeros that follow.
    char Text[200];
    std::snprintf(Text, sizeof Text, "%.160g", double(Value));
    return Text;
}

} // namespace

void Explorer::Reset_Defaults()
{
    const Picture_Settings Defaults;
    Settings.Mandelbrot = Defaults.Mandelbrot;
    Settings.Colormap = Defaults.Colormap;
    Settings.Threshold = Defaults.Threshold;
    Settings.Iterations = Defaults.Iterations;
    Settings.Julia_Re = Defaults.Julia_Re, Settings.Julia_Im = Defaults.Julia_Im;
    Settings.Julia_Re_Text = Defaults.Julia_Re_Text, Settings.Julia_Im_Text = Defaults.Julia_Im_Text;
    Here = Plane_View();
}

void Explorer::Set_Image_Size(int Columns, int Rows)
{
    Image_Columns = Columns;
    Image_Rows = Rows;
}

// The centre moved by the plane's fractions, then both extents scaled by Factor.
bool Explorer::Go_To(double Plane_Right, double Plane_Down, double Factor)
{
    Plane_View Moved = Here;
    Moved.Move_By(Plane_Right, Plane_Down);
    if (!Moved.Zoom(Factor))
        return false;
    Here = Moved;
    return true;
}

bool Explorer::Move(double Right, double Down)
{
    return Go_To(Right, Plane_Down(Down), 1);
}

// About the centre; the way out ends where no renderer has anything more to show, the way in where
// the deep renderer's range does.
bool Explorer::Zoom(double Factor)
{
    return Here.Zoom(Factor);
}

// The point at (Right, Down) stays where it is.
bool Explorer::Zoom_About(double Right, double Down, double Factor)
{
    return Go_To(Right * (1 - Factor), Plane_Down(Down) * (1 - Factor), Factor);
}

bool Explorer::Zoom_To_Box(double Right, double Down, double Box_Width, double Box_Height)
{
    return Go_To(Right, Plane_Down(Down), std::max(Box_Width, Box_Height));
}

void Explorer::Home()
{
    Here = Plane_View();
}

bool Explorer::Set_Centre(const std::string& Re, const std::string& Im)
{
    return Here.Set_Centre(Re, Im);
}

void Explorer::Set_Julia_Slider(Axis Part, int Slider_Position)
{
    // The float engine takes the nearest float of position / 10000, as it always did.
    const float Value = static_cast<float>(Slider_Position) / static_cast<float>(Julia_Slider_Scale);
    static_assert(Julia_Slider_Scale == 10000.0, "slider positions are ten-thousandths");
    Set_Julia_Typed(Part, Value, Ten_Thousandths(Slider_Position));
}

void Explorer::Set_Julia_Typed(Axis Part, float Value, const std::string& Text)
{
    (Part == Axis::Real ? Settings.Julia_Re : Settings.Julia_Im) = Value;
    (Part == Axis::Real ? Settings.Julia_Re_Text : Settings.Julia_Im_Text) = Text;
}

std::int64_t Explorer::Iterations_In_Use() const
{
    return Settings.Follow_Depth ? Iterations_For_Depth(Here, Settings.Iterations) : Settings.Iterations;
}

bool Explorer::Deep_Needed() const
{
    return Settings.Colouring != Kestrine_Deep::Colouring::Table || Iterations_In_Use() > Most_Float_Iterations ||
           !Float_Resolves(Here.Edges(), Image_Columns, Image_Rows);
}

Kestrine_Deep::Deep_View Explorer::Deep_View_At(int Columns, int Rows) const
{
    Kestrine_Deep::Deep_View View;
    View.Set = Settings.Mandelbrot ? Kestrine_Deep::Fractal_Set::Mandelbrot : Kestrine_Deep::Fractal_Set::Julia;
    View.Centre_Re = Here.Exact_Centre(Axis::Real);
    View.Centre_Im = Here.Exact_Centre(Axis::Imaginary);
    // Every bit of the extents, as a position file keeps them: kestrine-render then reads the same view.
    View.Width = Here.Exact_Extent(Axis::Real);
    View.Height = Here.Exact_Extent(Axis::Imaginary);
    View.Image_Width = Columns;
    View.Image_Height = Rows;
    // The deep renderer takes one iteration at least; none leaves every pixel at count 0 either way.
    View.Iterations = std::max<std::int64_t>(1, Iterations_In_Use());
    View.Threshold = Settings.Threshold;
    View.C_Re = Settings.Julia_Re_Text;
    View.C_Im = Settings.Julia_Im_Text;
    return View;
}

Kestrine_Deep::Deep_View Explorer::Preview_View(int Step, int Preview_Columns, int Preview_Rows) const
{
    Kestrine_Deep::Deep_View Preview = Deep_View_At(Preview_Columns, Preview_Rows);
    // Spacing Step times the full picture's: the extents of Preview_Columns - 1 such steps.
    Preview.Width = Here.Extent_Text(Axis::Real, double(Step) * (Preview_Columns - 1) / (Image_Columns - 1));
    Preview.Height = Here.Extent_Text(Axis::Imaginary, double(Step) * (Preview_Rows - 1) / (Image_Rows - 1));
    return Preview;
}

std::string Explorer::Centre_Text(Axis Along) const
{
    return Here.Centre_Text(Along, Along == Axis::Real ? Image_Columns : Image_Rows);
}

void Explorer::Render_Starts()
{
    if (Settings.Square_Pixels)
        Here.Make_Square(Image_Columns, Image_Rows);
    const std::string Now = Position_Text(Current_Position());
    // A restored entry reads back with its digits written anew: the same view, kept as it now reads.
    if (Restoring && !History.empty()) {
        Restoring = false;
        History[History_At] = Now;
        return;
    }
    if (!History.empty() && History[History_At] == Now)
        return;
    if (!History.empty())
        History.resize(History_At + 1);
    History.push_back(Now);
    if (History.size() > Most_History)
        History.erase(History.begin());
    History_At = History.size() - 1;
}

Picture_Offset Explorer::Picture_Moved() const
{
    return {Shown_Place.Width_Ratio(Here), Here.Offset_Of(Shown_Place, Axis::Real),
            Here.Offset_Of(Shown_Place, Axis::Imaginary) * (Settings.Axis_Up ? -1 : 1)};
}

Position Explorer::Current_Position() const
{
    Position Now;
    Now.Mandelbrot = Settings.Mandelbrot;
    Now.Centre_Re = Here.Exact_Centre(Axis::Real);
    Now.Centre_Im = Here.Exact_Centre(Axis::Imaginary);
    Now.Width = Here.Exact_Extent(Axis::Real);
    Now.Height = Here.Exact_Extent(Axis::Imaginary);
    Now.Iterations = Iterations_In_Use();
    Now.Threshold = Exact_Text(Settings.Threshold);
    Now.Julia_Re = Settings.Julia_Re_Text;
    Now.Julia_Im = Settings.Julia_Im_Text;
    Now.Colormap = Colormap_Name(Settings.Colormap);
    Now.Colouring = Kestrine_Deep::Colouring_Name(Settings.Colouring);
    Now.Density = Settings.Density;
    return Now;
}

bool Explorer::Apply_Position(const Position& There)
{
    Plane_View New_Place = Here;
    if (!New_Place.Set(There.Centre_Re, There.Centre_Im, There.Width, There.Height))
        return false;
    Here = New_Place;
    Picture_Settings& S = Settings;
    S.Mandelbrot = There.Mandelbrot;
    S.Threshold = std::strtof(There.Threshold.c_str(), nullptr);
    S.Julia_Re_Text = There.Julia_Re, S.Julia_Im_Text = There.Julia_Im;
    S.Julia_Re = std::strtof(There.Julia_Re.c_str(), nullptr), S.Julia_Im = std::strtof(There.Julia_Im.c_str(), nullptr);
    S.Colormap = Colormap_t(Colormap_Value(There.Colormap));
    S.Colouring = Kestrine_Deep::Colouring::Table;
    Kestrine_Deep::Colouring_Named(There.Colouring, S.Colouring);
    S.Density = There.Density;
    S.Follow_Depth = false;
    S.Iterations = int(There.Iterations);
    return true;
}

bool Explorer::Step_History(int Steps)
{
    if (History.empty())
        return false;
    const long long To = std::clamp<long long>(static_cast<long long>(History_At) + Steps, 0,
                                               static_cast<long long>(History.size()) - 1);
    if (std::size_t(To) == History_At)
        return false;
    History_At = std::size_t(To);
    Position There;
    std::string Problem;
    if (!Read_Position(History[History_At], There, Problem) || !Apply_Position(There))
        return false;
    Restoring = true;
    return true;
}
