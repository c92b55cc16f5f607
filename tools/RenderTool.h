// kestrine-render's parts: the command line, the choice of engine, the two engines' renders and the
// files they write.
#pragma once

#include <KestrineDeep.h>

#include "PlaneView.h"
#include "Position.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Pellarion;

namespace Render_Tool {

enum class Engine { Auto, Float, Deep };

struct Request {
    bool Mandelbrot = false;
    int Width = 800;
    int Height = 600;
    // The view as typed, checked as decimal numbers: the deep engine reads every digit, the float
    // engine reads them as floats once it is chosen.
    std::string Centre_Re = "0", Centre_Im = "0", Plane_Width = "4";
    // The rows' extent, as a position gives it; then both engines take the view exactly as the program
    // does. Empty: the width (or, with Square, what square pixels need).
    std::string Plane_Height;
    std::string C_Re = "-0.4001", C_Im = "0.6";
    // The float engine's other form of the view: the four bounds (the height follows with Square).
    bool Bounds_Given = false;
    float X_Min = -2.0f, X_Max = 2.0f, Y_Min = -2.0f, Y_Max = 2.0f;
    bool Square = false;
    std::string Threshold = "4";
    int Iterations = 100;
    int Colormap = 5; // MORGENSTEMNING
    Engine Chosen = Engine::Auto;
    Kestrine_Deep::Colouring Colouring = Kestrine_Deep::Colouring::Table;
    double Density = Default_Density;
    bool Density_Given = false;
    bool Approximation = true;
    bool Approximation_Given = false;
    bool Interior_Check = true;
    bool Interior_Check_Given = false;
    bool Stats = false;
    bool Progress = false; // the bar even when stderr is not a terminal
    std::string Output, Counts_Output, Position_Output;
    // A zoom video: Frames pictures from the view's width to Zoom_To at a constant factor a frame, of
    // which frames First_Frame to Last_Frame are rendered (numbered from 0).
    int Frames = 0;
    std::string Zoom_To;
    int First_Frame = 0, Last_Frame = -1;
};

// Prints "kestrine-render: Why" on stderr.
void Complain(const std::string& Why);

void Print_Usage(std::FILE* To);

// Parses the command line; on a mistake, says which and returns false.
bool Parse_Command_Line(int argc, char** argv, Request& R, bool& Help);

// The engine that renders R: the one asked for, or for Auto the float engine while its resolution
// suffices. Empty Refusal when R can be rendered by it, else why not.
Engine Choose_Engine(const Request& R, std::string& Refusal);

// The float engine's window for R: the bounds given, or those of its centre and extents.
Float_Window Float_Window_Of(const Request& R);

// The deep engine's view for R.
Kestrine_Deep::Deep_View Deep_View_Of(const Request& R);

// The engines, each made when first used and kept for the requests that follow (the deep one keeps its
// reference orbit from one to the next).
class Engines {
public:
    Engines();
    ~Engines();
    Pellarion& Float();
    Kestrine_Deep::Deep_Renderer& Deep();

private:
    std::unique_ptr<Pellarion> Float_Engine;
    std::unique_ptr<Kestrine_Deep::Deep_Renderer> Deep_Engine;
};

// What a render prints, and the seconds its reference orbit took.
struct Render_Report {
    std::string Line;
    double Reference_Seconds = 0;
};

// Called now and then while a deep render runs: its progress, and the seconds since it started.
using Progress_Watch = std::function<void(const Kestrine_Deep::Render_Progress& Progress, double Seconds)>;

// Each renders R and writes its files; the process's exit status (having said why, unless 0). Each
// calls Watch_Over once the render has returned, before anything is said or written, so that a
// progress line is ended first and every message starts a line of its own.
int Render_Float(const Request& R, Engines& With, const std::function<void()>& Watch_Over, Render_Report& Report);
int Render_Deep(const Request& R, Engines& With, const Kestrine_Deep::Render_Options& Options,
                const Progress_Watch& Watch, const std::function<void()>& Watch_Over, Render_Report& Report);
// The one render of R, with a progress bar for a deep render that takes a while.
int Render_Deep(const Request& R);

// The frames of a zoom video, R.First_Frame to R.Last_Frame; the exit status.
int Render_Frames(const Request& R);

// A zoom video's file names, such as "frame-%05d.png": one %d, with a width and a 0 to pad it if
// wanted, where the frame's number goes, and %% for a percent sign. Empty when Pattern is one, else why
// not; and the name of one frame's file.
std::string Frame_Pattern_Fault(const std::string& Pattern);
std::string Frame_Name(const std::string& Pattern, int Frame);

// Frame Frame of a zoom video in Frames steps from R's view to one Zoom_To wide, about R's centre:
// both extents times (Zoom_To / width)^(Frame / (Frames - 1)), the first and the last frame's width as
// typed. Its files are named by the patterns.
Request Frame_Request(const Request& R, int Frame);

// The position R renders, with the float engine's window where it renders with that engine; and the
// request that --position reads from a file (a position, or a picture that carries one).
Position Position_Of(const Request& R, const Float_Window* Float_Engines);
bool Load_Position(const std::string& Path, Request& R, std::string& Problem);
// Whether a position can hold what R asks for, so that what the tool renders it can write and what it
// writes it reads back; Problem names the option and why otherwise.
bool Position_Holds(const Request& R, std::string& Problem);

// Bytes into the file at Path, whole or not at all: written aside under a name of its own and renamed
// into place once every write and the close succeeded; a device or FIFO written as it is, a link's
// target written through it. On failure Problem is the system's reason and any old file stays.
bool Write_File(const std::string& Path, const std::string& Bytes, std::string& Problem);

// Writes RGBA pixels, row 0 first, in the format the extension names, a PNG carrying the position text;
// on failure, Problem says why.
bool Write_Picture(const std::string& Path, const std::uint8_t* Rgba, int Width, int Height,
                   const std::string& Position_Text, std::string& Problem);

// "KESTRINE-COUNTS W H N\n", then the counts as little-endian 32-bit integers, row 0 first.
bool Write_Counts(const std::string& Path, const Kestrine_Deep::Deep_Picture& Picture, std::string& Problem);

} // namespace Render_Tool
