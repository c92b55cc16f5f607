// kestrine-render's parts: the command line, the choice of engine, the two engines' renders and the
// files they write.
#pragma once

#include <KestrineDeep.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Render_Tool {

enum class Engine { Auto, Float, Deep };

struct Request {
    bool Mandelbrot = false;
    int Width = 800;
    int Height = 600;
    // The view as typed, checked as decimal numbers: the deep engine reads every digit, the float
    // engine reads them as floats once it is chosen.
    std::string Centre_Re = "0", Centre_Im = "0", Plane_Width = "4";
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
    double Density = 1.0;
    bool Density_Given = false;
    bool Approximation = true;
    bool Approximation_Given = false;
    bool Stats = false;
    bool Progress = false; // the bar even when stderr is not a terminal
    std::string Output, Counts_Output;
};

// Prints "kestrine-render: Why" on stderr.
void Complain(const std::string& Why);

void Print_Usage(std::FILE* To);

// Parses the command line; on a mistake, says which and returns false.
bool Parse_Command_Line(int argc, char** argv, Request& R, bool& Help);

// The engine that renders R: the one asked for, or for Auto the float engine while its resolution
// suffices. Empty Refusal when R can be rendered by it, else why not.
Engine Choose_Engine(const Request& R, std::string& Refusal);

// Each renders R, writes its files and prints a line; the process's exit status.
int Render_Float(const Request& R);
int Render_Deep(const Request& R);

// Writes RGBA pixels, row 0 first, in the format the extension names; on failure, Problem says why.
bool Write_Picture(const std::string& Path, const std::uint8_t* Rgba, int Width, int Height, std::string& Problem);

// "KESTRINE-COUNTS W H N\n", then the counts as little-endian 32-bit integers, row 0 first.
bool Write_Counts(const std::string& Path, const Kestrine_Deep::Deep_Picture& Picture);

} // namespace Render_Tool
