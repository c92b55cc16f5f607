// kestrine-render --help.
#include "RenderTool.h"

namespace Render_Tool {
namespace {

const char* const Usage_Text =
    "usage: kestrine-render [options] --out FILE\n"
    "       kestrine-render [options] --counts FILE   (the deep engine's counts, with or without --out)\n"
    "Renders a Julia or Mandelbrot picture with the engines of Vorlane and writes it to FILE.\n"
    "\n"
    "  --set julia|mandelbrot    which set (default julia); --mandelbrot is short for --set mandelbrot\n"
    "  --c RE IM                 the Julia constant (default -0.4001 0.6)\n"
    "  --center RE IM            the centre of the view in the plane (default 0 0)\n"
    "  --width W                 the distance from the first column's centre to the last one's (default 4).\n"
    "                            Float engine: the view's height is W too, or follows the image's shape\n"
    "                            with --square. Deep engine: pixels are always square, W / (columns - 1)\n"
    "                            apart, so the height is W (rows - 1) / (columns - 1)\n"
    "  --window XMIN XMAX YMIN YMAX\n"
    "                            float engine: the four bounds instead of centre and width\n"
    "  --square                  square pixels: the view's height is fitted to the image's shape\n"
    "  --iterations N            iterations per pixel (default 100): 0 or more for the float engine,\n"
    "                            1 to 2147483647 for the deep engine\n"
    "  --threshold T             escape threshold: |z| for Julia, |z|^2 for Mandelbrot (default 4)\n"
    "  --colormap NAME|1-7       HOT, JET, HSV, BONE, MORGENSTEMNING, SKY or ABYSS (default MORGENSTEMNING)\n"
    "  --size WxH | --size W H   the image in pixels (default 800x600)\n"
    "  --out FILE                where to write it; the extension picks the format%s\n"
    "  --position FILE           the view, iterations, threshold, Julia constant and colouring of a\n"
    "                            position Vorlane saved (.vorlane), or of a PNG that carries one; options\n"
    "                            after it change what they name (--width or --square: the height too)\n"
    "  --save-position FILE      also write the position rendered; PNG pictures carry it in any case\n"
    "  --help                    this text\n"
    "\n"
    "Engines. The float engine (Pellarion) iterates every pixel in single precision; the deep engine\n"
    "(KestrineDeep) computes one reference orbit in arbitrary precision and every pixel as a small\n"
    "difference from it, so views may be as deep as their digits go. Row 0 of every file is the\n"
    "smallest imaginary part, with either engine.\n"
    "  --engine auto|float|deep  auto (default): the float engine while a pixel is at least 8\n"
    "                            single-precision steps of the centre wide, the deep engine past that\n"
    "                            and for cycle or smooth colouring\n"
    "  --colouring table|cycle|smooth\n"
    "                            table (default): entry min(count, 255); cycle: up and down the table\n"
    "                            every 510 steps; smooth: the smooth count, cycled and blended (deep)\n"
    "  --density D               smooth colouring: table entries per step of the smooth count (default 0.25)\n"
    "  --approximation on|off    deep: skip runs of steps by bilinear approximation (default on)\n"
    "  --interior-check on|off   deep: stop pixels caught by an attracting cycle, which never escape\n"
    "                            (default on; off walks them to the last iteration, same picture)\n"
    "  --counts FILE             deep: also write the counts, a line \"KESTRINE-COUNTS W H N\" and then\n"
    "                            W H little-endian 32-bit integers, row 0 first (N: never escaped)\n"
    "  --stats                   deep: print the number type, times and steps per pixel\n"
    "  --progress                deep: a progress bar on stderr for renders over a second, even when\n"
    "                            stderr is not a terminal (where it is, the bar is shown anyway)\n"
    "The centre, the width and the Julia constant are read to every digit typed by the deep engine.\n"
    "\n"
    "Zoom videos. The files' names hold one %%d for the frame's number, as in 'frame-%%05d.png'.\n"
    "  --frames N                N frames (at most 1000000) from the view's width to --zoom-to's at a\n"
    "                            constant zoom factor a frame, about the view's centre; each frame takes\n"
    "                            its engine as above, and one reference orbit serves every deep frame\n"
    "  --zoom-to W               the last frame's width\n"
    "  --frame-range A-B         render frames A to B only (numbered from 0), to spread a video over\n"
    "                            machines: the frames are the same however the run is divided\n";

} // namespace

void Print_Usage(std::FILE* To)
{
    std::fprintf(To, Usage_Text,
#if defined(KESTRINE_RENDER_WITH_QT)
                 " (png, jpg, bmp, ppm, ...)"
#else
                 " (this build writes PPM)"
#endif
    );
}

} // namespace Render_Tool
