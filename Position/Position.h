// A place in either set, as a small text file that the program and kestrine-render both read and
// write: one "key = value" a line, UTF-8, the numbers as decimal text to every digit they hold.
//
//   set = mandelbrot            julia or mandelbrot
//   centre-re = -0.7436...      the view's centre, any number of digits, within 10 of 0
//   centre-im = 0.1318...
//   width = 2.5e-12             from the first column's centre to the last one's, over 0 and at most 16
//   height = 2.5e-12            the same for the rows; the width when left out
//   iterations = 5000           0 to 2147483647 (100 when left out; likewise for the keys below)
//   threshold = 4               0 to 5
//   julia-re = -0.4001          the Julia constant, each part within 2 of 0
//   julia-im = 0.6
//   colormap = MORGENSTEMNING   HOT, HSV, JET, BONE, MORGENSTEMNING, SKY or ABYSS
//   colouring = table           table, cycle or smooth
//   density = 0.25              the smooth colouring's, over 0 and at most 100
//
// Blank lines and lines starting with # are skipped, and so are keys this version does not know.
#pragma once

#include <cstdint>
#include <string>

// The smooth colouring's density where none is given, in the program, the tool and files alike.
inline constexpr double Default_Density = 0.25;

struct Position {
    bool Mandelbrot = false;
    std::string Centre_Re = "0", Centre_Im = "0", Width = "4", Height = "4";
    std::int64_t Iterations = 100;
    std::string Threshold = "4";
    std::string Julia_Re = "-0.4001", Julia_Im = "0.6";
    std::string Colormap = "MORGENSTEMNING";
    std::string Colouring = "table";
    double Density = Default_Density;
};

// The key of the text chunk that carries a position in a PNG picture.
constexpr char Position_Picture_Key[] = "Vorlane-Position";

// The file's text, every key written.
std::string Position_Text(const Position& Place);

// Reads a file's text into Place; on a fault Place is left as it was and Problem names the line
// ("line 4: width: \"-1\" is not over 0") or the key that is missing ("no width").
bool Read_Position(const std::string& Text, Position& Place, std::string& Problem);

// The value a Colormap_t has for a colormap's name, 0 for none.
int Colormap_Value(const std::string& Name);
const char* Colormap_Name(int Value);
