// Where the user is and what the picture should be: the place at full precision and the place the
// picture on screen shows, the set and its parameters, the colouring, the way back and forward through
// the views settled on, and positions in and out. It draws nothing and knows no widget: the window turns
// gestures into its calls, the render scheduler reads from it the picture to make.
//
// Moves and zooms take fractions of the picture as the screen shows it, from its centre: right and
// down, in units of the distance from the first column's (row's) centre to the last one's.
#pragma once

#include <KestrineDeep.h>
#include <Pellarion.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "PlaneView.h"
#include "Position.h"

// The parameters the controls set directly; the explorer reads them as they stand.
struct Picture_Settings {
    bool Mandelbrot = false;
    Colormap_t Colormap = MORGENSTEMNING;
    float Threshold = 4.0f;
    int Iterations = 100;
    // The count follows the depth (Iterations_For_Depth), the user's count its least.
    bool Follow_Depth = false;
    // The Julia constant: the float engine takes the floats, the deep renderer and positions the texts,
    // which are the decimals the user chose (a slider position k is exactly k / 10000).
    float Julia_Re = -0.4001f, Julia_Im = 0.6f;
    std::string Julia_Re_Text = "-0.4001", Julia_Im_Text = "0.6";
    Kestrine_Deep::Colouring Colouring = Kestrine_Deep::Colouring::Table;
    double Density = Default_Density;
    bool Square_Pixels = false;
    // Larger imaginary parts higher up: row 0 of the picture is then the largest.
    bool Axis_Up = false;
};

// Where the picture on screen lies in the view now: scaled by Scale about its middle, then moved by
// these fractions of the view, right and down.
struct Picture_Offset {
    double Scale, Right, Down;
};

class Explorer {
public:
    // Slider positions are these multiples of the values they stand for.
    static constexpr double Julia_Slider_Scale = 10000.0;
    static constexpr double Threshold_Slider_Scale = 1000.0;
    static int Slider_Position(float Value, double Scale) { return static_cast<int>(std::floor(double(Value) * Scale)); }
    // Where the way back stops: older views are forgotten.
    static constexpr std::size_t Most_History = 1000;

    Picture_Settings Settings;

    // The default place and settings; the history stays.
    void Reset_Defaults();

    const Plane_View& Place() const { return Here; }
    Float_Window Edges() const { return Here.Edges(); }
    // The picture's size in pixels, which square pixels, the centre's digits and the choice of engine
    // follow.
    void Set_Image_Size(int Columns, int Rows);
    int Columns() const { return Image_Columns; }
    int Rows() const { return Image_Rows; }

    // Each is refused (false, nothing changed) where the plane view refuses the zoom.
    bool Move(double Right, double Down);
    bool Zoom(double Factor);
    bool Zoom_About(double Right, double Down, double Factor);
    // The box centred at (Right, Down), Box_Width and Box_Height fractions of the view, fills the
    // view, which keeps its shape: the box's longer side, in proportion, decides the zoom.
    bool Zoom_To_Box(double Right, double Down, double Box_Width, double Box_Height);
    void Home();
    // The centre from decimal texts to every digit; false, nothing changed, for one that is no decimal.
    bool Set_Centre(const std::string& Re, const std::string& Im);
    // The Julia constant's part (Re or Im) from a slider position, or from a typed decimal.
    void Set_Julia_Slider(Axis Part, int Slider_Position);
    void Set_Julia_Typed(Axis Part, float Value, const std::string& Text);

    // The iterations the picture gets: the user's count, or the depth's when it follows the depth.
    std::int64_t Iterations_In_Use() const;
    // Whether the deep renderer draws the picture: a colouring only it has, a view finer than single
    // precision resolves, or more iterations than the slider reaches. The float engine renders on the
    // window's thread and cannot be stopped once started, which is fine for the slider's counts; a dearer
    // picture goes to the worker, where newer input or Escape stops it and the window keeps answering.
    bool Deep_Needed() const;
    static constexpr std::int64_t Most_Float_Iterations = 1000;
    // The deep renderer's view of the place at Columns x Rows, every bit of the extents kept.
    Kestrine_Deep::Deep_View Deep_View_At(int Columns, int Rows) const;
    // The place at every Step-th pixel of the picture, the centre the picture's.
    Kestrine_Deep::Deep_View Preview_View(int Step, int Preview_Columns, int Preview_Rows) const;
    // The centre's text along one axis, to a tenth of a pixel.
    std::string Centre_Text(Axis Along) const;

    // A render starts: square pixels take effect, and the view becomes history's newest entry unless
    // history stands at it already (a burst of input renders once, and so is one entry).
    void Render_Starts();
    // The picture of the place in use is on screen.
    void Picture_Shown() { Shown_Place = Here; }
    Picture_Offset Picture_Moved() const;

    Position Current_Position() const;
    // Every setting follows the position; false, nothing changed, where its place cannot be read. A
    // saved count is the one in use: the count no longer follows the depth.
    bool Apply_Position(const Position& There);
    // Steps back (negative) or forward through history; false where there is nothing that way.
    bool Step_History(int Steps);

private:
    bool Go_To(double Plane_Right, double Plane_Down, double Factor);
    // Screen-down as the plane counts it: the imaginary part grows downwards unless the axis is up.
    double Plane_Down(double Down) const { return Settings.Axis_Up ? -Down : Down; }

    Plane_View Here;
    Plane_View Shown_Place;
    int Image_Columns = 0, Image_Rows = 0;
    // The views settled on, as position texts, and the one shown.
    std::vector<std::string> History;
    std::size_t History_At = 0;
    // The next render is of the entry history stands at, not a new view.
    bool Restoring = false;
};
