// vorlane-handoff-bench: the hand-off of a rendered image to the view, engine RGBA bytes to the
// ARGB32 QImage and the QPixmap the view shows, and whole frames of the program (the render and
// that hand-off) for the default pictures, at 1600 x 1000.
#include <QGuiApplication>
#include <QPixmap>

#include <Pellarion.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "PictureHandoff.h"

namespace {

double Median(std::vector<double> Values)
{
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

double Milliseconds_Since(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication Application(argc, argv);
    const int Width = 1600, Height = 1000;

    // A real picture: the default Julia set, as the engine leaves it in Host_Image.
    Pellarion Engine;
    Engine.Compute_Init(Width, Height, -2.0f, 2.0f, -2.0f, 2.0f, MORGENSTEMNING);
    Engine.Compute_Julia(4.0f, 100, 50, -0.4001f, 0.6f);
    if (!Engine.Host_Image) {
        std::fprintf(stderr, "vorlane-handoff-bench: the engine has no image\n");
        return 1;
    }

    std::vector<double> To_Image, To_Pixmap, Whole;
    for (int Run = 0; Run < 25; ++Run) {
        const auto Start = std::chrono::steady_clock::now();
        QImage Picture = Picture_From_Engine(Engine.Host_Image, Width, Height);
        const double Image_Ms = Milliseconds_Since(Start);
        const auto Pixmap_Start = std::chrono::steady_clock::now();
        const QPixmap Shown = QPixmap::fromImage(std::move(Picture));
        To_Pixmap.push_back(Milliseconds_Since(Pixmap_Start));
        Whole.push_back(Milliseconds_Since(Start));
        To_Image.push_back(Image_Ms);
        if (Shown.isNull())
            return 1;
    }
    // For comparison: the same image built one QImage::setPixel call at a time.
    std::vector<double> Per_Pixel;
    for (int Run = 0; Run < 5; ++Run) {
        const auto Start = std::chrono::steady_clock::now();
        QImage Picture(Width, Height, QImage::Format_ARGB32);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                const std::uint8_t* Pixel = Engine.Host_Image + 4 * (std::size_t(y) * Width + x);
                Picture.setPixel(x, y, 0xFF000000u | Pixel[0] << 16 | Pixel[1] << 8 | Pixel[2]);
            }
        const QPixmap Shown = QPixmap::fromImage(Picture);
        Per_Pixel.push_back(Milliseconds_Since(Start));
    }
    std::printf("%s\nhand-off %dx%d: %.2f ms (QImage %.2f ms, QPixmap %.2f ms; per-pixel setPixel: %.2f ms)\n",
                Engine.GPU_Name, Width, Height, Median(Whole), Median(To_Image), Median(To_Pixmap), Median(Per_Pixel));

    // Whole frames: what a user waits for after each change of a control, pan step or zoom step.
    for (const bool Mandelbrot : {false, true})
        for (const int Iterations : {100, 1000}) {
            std::vector<double> Frames;
            for (int Run = 0; Run < (Iterations <= 100 ? 25 : 11); ++Run) {
                const auto Start = std::chrono::steady_clock::now();
                if (Mandelbrot)
                    Engine.Compute_MandelBrot(4.0f, Iterations, 50);
                else
                    Engine.Compute_Julia(4.0f, Iterations, 50, -0.4001f, 0.6f);
                const QPixmap Shown = QPixmap::fromImage(Picture_From_Engine(Engine.Host_Image, Width, Height));
                if (Run > 0) // the first one warms up
                    Frames.push_back(Milliseconds_Since(Start));
                if (Shown.isNull())
                    return 1;
            }
            std::printf("frame %-10s %dx%d %5d iterations: %.2f ms\n", Mandelbrot ? "mandelbrot" : "julia", Width,
                        Height, Iterations, Median(Frames));
        }
    return 0;
}
