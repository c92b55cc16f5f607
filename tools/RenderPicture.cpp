// kestrine-render: renders one picture with the engine and writes it as a binary PPM.
//
// Used to make the program's sample images and, on a machine with a GPU, to compare the pictures
// of the two devices. Prints the device and the engine's own render time.
#include <Pellarion.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Picture {
    bool Mandelbrot = false;
    int Width = 800;
    int Height = 600;
    float X_Min = -2.0f, X_Max = 2.0f, Y_Min = -2.0f, Y_Max = 2.0f;
    float C_Real = -0.4001f, C_Imag = 0.6f;
    float Threshold = 4.0f;
    int Iterations = 100;
    int Colormap = MORGENSTEMNING;
    std::string Output;
};

int Usage()
{
    std::fprintf(stderr,
                 "usage: kestrine-render [--mandelbrot] [--size W H] [--window XMIN XMAX YMIN YMAX] [--c RE IM]\n"
                 "                       [--threshold T] [--iterations N] [--colormap 1-7] --out FILE.ppm\n");
    return 2;
}

bool Parse(int argc, char** argv, Picture& P)
{
    for (int i = 1; i < argc; ++i) {
        const std::string Option = argv[i];
        const int Left = argc - i - 1;
        auto Real = [&](float& Value) { Value = std::strtof(argv[++i], nullptr); };
        auto Whole = [&](int& Value) { Value = std::atoi(argv[++i]); };
        if (Option == "--mandelbrot") {
            P.Mandelbrot = true;
        } else if (Option == "--size" && Left >= 2) {
            Whole(P.Width);
            Whole(P.Height);
        } else if (Option == "--window" && Left >= 4) {
            Real(P.X_Min);
            Real(P.X_Max);
            Real(P.Y_Min);
            Real(P.Y_Max);
        } else if (Option == "--c" && Left >= 2) {
            Real(P.C_Real);
            Real(P.C_Imag);
        } else if (Option == "--threshold" && Left >= 1) {
            Real(P.Threshold);
        } else if (Option == "--iterations" && Left >= 1) {
            Whole(P.Iterations);
        } else if (Option == "--colormap" && Left >= 1) {
            Whole(P.Colormap);
        } else if (Option == "--out" && Left >= 1) {
            P.Output = argv[++i];
        } else {
            return false;
        }
    }
    return !P.Output.empty() && P.Width > 0 && P.Height > 0;
}

bool Write_Ppm(const std::string& Path, const std::uint8_t* Rgba, int Width, int Height)
{
    std::FILE* File = std::fopen(Path.c_str(), "wb");
    if (!File)
        return false;
    std::fprintf(File, "P6\n%d %d\n255\n", Width, Height);
    bool Written = true;
    for (long long i = 0; i < static_cast<long long>(Width) * Height && Written; ++i)
        Written = std::fwrite(Rgba + 4 * i, 1, 3, File) == 3;
    return std::fclose(File) == 0 && Written;
}

} // namespace

int main(int argc, char** argv)
{
    Picture P;
    if (!Parse(argc, argv, P))
        return Usage();

    Pellarion Engine;
    if (!Engine.GPU_Available) {
        std::fprintf(stderr, "kestrine-render: no usable device (runtime %d, driver %d)\n", Engine.Runtime_Version,
                     Engine.Driver_Version);
        return 1;
    }
    Engine.Compute_Init(P.Width, P.Height, P.X_Min, P.X_Max, P.Y_Min, P.Y_Max, static_cast<Colormap_t>(P.Colormap));
    if (P.Mandelbrot)
        Engine.Compute_MandelBrot(P.Threshold, P.Iterations, 50);
    else
        Engine.Compute_Julia(P.Threshold, P.Iterations, 50, P.C_Real, P.C_Imag);
    if (!Engine.Host_Image) {
        std::fprintf(stderr, "kestrine-render: the engine could not hold a %d x %d image\n", P.Width, P.Height);
        return 1;
    }
    if (!Write_Ppm(P.Output, Engine.Host_Image, P.Width, P.Height)) {
        std::fprintf(stderr, "kestrine-render: cannot write %s\n", P.Output.c_str());
        return 1;
    }
    std::printf("%s | %d x %d | %d iterations | %.3f ms\n", Engine.GPU_Name, P.Width, P.Height, P.Iterations,
                Engine.Elapsed_Time);
    return 0;
}
