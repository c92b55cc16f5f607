// kestrine-render: renders one picture with the engine, on the device the library was built for, and
// writes it without any window. Installed beside Vorlane; also used to make the program's sample
// images and, on a machine with a GPU, to compare the pictures of the two devices.
//
// Built with Qt it writes any format Qt writes, chosen by the file's extension; without Qt, binary
// PPM. Prints the device and the engine's own render time.
#include <Pellarion.h>

#if defined(KESTRINE_RENDER_WITH_QT)
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#endif

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

struct Picture {
    bool Mandelbrot = false;
    int Width = 800;
    int Height = 600;
    // Either the four bounds, or a centre and a width in the plane (the height follows).
    bool Bounds_Given = false;
    float X_Min = -2.0f, X_Max = 2.0f, Y_Min = -2.0f, Y_Max = 2.0f;
    float Centre_X = 0.0f, Centre_Y = 0.0f, Plane_Width = 4.0f;
    bool Square = false;
    float C_Real = -0.4001f, C_Imag = 0.6f;
    float Threshold = 4.0f;
    int Iterations = 100;
    int Colormap = MORGENSTEMNING;
    std::string Output;
};

// In the order of the colormap values, 1 to 7.
const char* const Colormap_Names[] = {"HOT", "JET", "HSV", "BONE", "MORGENSTEMNING", "SKY", "ABYSS"};

void Usage(std::FILE* To)
{
    std::fprintf(To,
                 "usage: kestrine-render [options] --out FILE\n"
                 "Renders a Julia or Mandelbrot picture with the engine of Vorlane and writes it to FILE.\n"
                 "\n"
                 "  --set julia|mandelbrot    which set (default julia); --mandelbrot is short for --set mandelbrot\n"
                 "  --c RE IM                 the Julia constant (default -0.4001 0.6)\n"
                 "  --center X Y              the centre of the view in the plane (default 0 0)\n"
                 "  --width W                 the width of the view in the plane (default 4); the height is the\n"
                 "                            same, or follows the image's shape with --square\n"
                 "  --window XMIN XMAX YMIN YMAX\n"
                 "                            the four bounds instead of centre and width (row 0 at YMIN)\n"
                 "  --square                  square pixels: the view's height is fitted to the image's shape\n"
                 "  --iterations N            iterations per pixel, 0 or more (default 100)\n"
                 "  --threshold T             escape threshold: |z| for Julia, |z|^2 for Mandelbrot (default 4)\n"
                 "  --colormap NAME|1-7       HOT, JET, HSV, BONE, MORGENSTEMNING, SKY or ABYSS (default MORGENSTEMNING)\n"
                 "  --size WxH | --size W H   the image in pixels (default 800x600)\n"
                 "  --out FILE                where to write it; the extension picks the format%s\n"
                 "  --help                    this text\n",
#if defined(KESTRINE_RENDER_WITH_QT)
                 " (png, jpg, bmp, ppm, ...)"
#else
                 " (this build writes PPM)"
#endif
    );
}

// Whole-text conversions: a number with anything after it is no number.
bool Read_Float(const char* Text, float& Value)
{
    char* End = nullptr;
    errno = 0;
    const float Read = std::strtof(Text, &End);
    if (End == Text || *End != '\0' || errno == ERANGE || !std::isfinite(Read))
        return false;
    Value = Read;
    return true;
}

bool Read_Int(const char* Text, int& Value)
{
    char* End = nullptr;
    errno = 0;
    const long Read = std::strtol(Text, &End, 10);
    if (End == Text || *End != '\0' || errno == ERANGE || Read < -2147483647L || Read > 2147483647L)
        return false;
    Value = static_cast<int>(Read);
    return true;
}

bool Read_Colormap(const char* Text, int& Value)
{
    for (int i = 0; i < 7; ++i)
        if (strcasecmp(Text, Colormap_Names[i]) == 0) {
            Value = i + 1;
            return true;
        }
    return Read_Int(Text, Value) && Value >= 1 && Value <= 7;
}

bool Read_Size(const char* Text, int& Width, int& Height)
{
    const char* Cross = std::strchr(Text, 'x');
    if (!Cross)
        return false;
    const std::string First(Text, Cross);
    return Read_Int(First.c_str(), Width) && Read_Int(Cross + 1, Height);
}

// Parses the command line; on a mistake, says which and returns false.
bool Parse(int argc, char** argv, Picture& P, bool& Help)
{
    auto Fail = [](const std::string& Why) {
        std::fprintf(stderr, "kestrine-render: %s (--help lists the options)\n", Why.c_str());
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string Option = argv[i];
        const int Left = argc - i - 1;
        auto Values = [&](int Count) { return Left >= Count; };
        auto Floats = [&](std::initializer_list<float*> Targets) {
            if (!Values(int(Targets.size())))
                return false;
            for (float* Target : Targets)
                if (!Read_Float(argv[++i], *Target))
                    return false;
            return true;
        };
        bool Ok = true;
        if (Option == "--help" || Option == "-h") {
            Help = true;
            return true;
        } else if (Option == "--mandelbrot") {
            P.Mandelbrot = true;
        } else if (Option == "--set" && Values(1)) {
            const std::string Set = argv[++i];
            Ok = Set == "julia" || Set == "mandelbrot";
            P.Mandelbrot = Set == "mandelbrot";
        } else if (Option == "--c") {
            Ok = Floats({&P.C_Real, &P.C_Imag});
        } else if (Option == "--center" || Option == "--centre") {
            Ok = Floats({&P.Centre_X, &P.Centre_Y});
        } else if (Option == "--width") {
            Ok = Floats({&P.Plane_Width}) && P.Plane_Width > 0.0f;
        } else if (Option == "--window") {
            Ok = Floats({&P.X_Min, &P.X_Max, &P.Y_Min, &P.Y_Max});
            P.Bounds_Given = true;
        } else if (Option == "--square") {
            P.Square = true;
        } else if (Option == "--threshold") {
            Ok = Floats({&P.Threshold});
        } else if (Option == "--iterations" && Values(1)) {
            Ok = Read_Int(argv[++i], P.Iterations) && P.Iterations >= 0;
        } else if (Option == "--colormap" && Values(1)) {
            Ok = Read_Colormap(argv[++i], P.Colormap);
        } else if (Option == "--size" && Values(1) && std::strchr(argv[i + 1], 'x')) {
            Ok = Read_Size(argv[++i], P.Width, P.Height);
        } else if (Option == "--size" && Values(2)) {
            Ok = Read_Int(argv[i + 1], P.Width) && Read_Int(argv[i + 2], P.Height);
            i += 2;
        } else if (Option == "--out" && Values(1)) {
            P.Output = argv[++i];
        } else {
            return Fail(Values(0) && Option.rfind("--", 0) == 0 ? "unknown option or missing value: " + Option
                                                                 : "unexpected argument: " + Option);
        }
        if (!Ok)
            return Fail("bad value for " + Option);
    }
    if (P.Output.empty())
        return Fail("no output file (--out FILE)");
    if (P.Width <= 0 || P.Height <= 0)
        return Fail("the size must be positive in both directions");
    return true;
}

// The view's bounds from whichever form was given.
void Fit_Window(Picture& P)
{
    if (!P.Bounds_Given) {
        const float Height = P.Square ? P.Plane_Width * float(P.Height) / float(P.Width) : P.Plane_Width;
        P.X_Min = P.Centre_X - P.Plane_Width / 2;
        P.X_Max = P.Centre_X + P.Plane_Width / 2;
        P.Y_Min = P.Centre_Y - Height / 2;
        P.Y_Max = P.Centre_Y + Height / 2;
    } else if (P.Square) {
        const float Centre = (P.Y_Min + P.Y_Max) / 2;
        const float Half = (P.X_Max - P.X_Min) * float(P.Height) / float(P.Width) / 2;
        P.Y_Min = Centre - Half;
        P.Y_Max = Centre + Half;
    }
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

bool Write_Picture(const std::string& Path, const std::uint8_t* Rgba, int Width, int Height, std::string& Problem)
{
    const std::size_t Dot = Path.find_last_of('.');
    const std::string Extension = Dot == std::string::npos ? "" : Path.substr(Dot + 1);
    if (strcasecmp(Extension.c_str(), "ppm") == 0) {
        Problem = "cannot write the file";
        return Write_Ppm(Path, Rgba, Width, Height);
    }
#if defined(KESTRINE_RENDER_WITH_QT)
    // The engine's bytes are R, G, B, A in memory: exactly QImage's RGBA8888.
    const QImage Image(Rgba, Width, Height, 4 * Width, QImage::Format_RGBA8888);
    const QString Name = QString::fromLocal8Bit(Path.c_str());
    QSaveFile File(Name); // put in place only when complete
    if (!File.open(QIODevice::WriteOnly)) {
        Problem = File.errorString().toStdString();
        return false;
    }
    QImageWriter Writer(&File, Extension.empty() ? QByteArray("png") : QByteArray(Extension.c_str()).toLower());
    if (!Writer.write(Image.convertToFormat(QImage::Format_RGB888))) {
        Problem = Writer.errorString().toStdString();
        return false;
    }
    if (!File.commit()) {
        Problem = File.errorString().toStdString();
        return false;
    }
    return true;
#else
    Problem = "this build writes only PPM files (.ppm)";
    return false;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    Picture P;
    bool Help = false;
    if (!Parse(argc, argv, P, Help))
        return 2;
    if (Help) {
        Usage(stdout);
        return 0;
    }
    Fit_Window(P);

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
        std::fprintf(stderr, "kestrine-render: the engine cannot hold a %d x %d image\n", P.Width, P.Height);
        return 1;
    }
    std::string Problem;
    if (!Write_Picture(P.Output, Engine.Host_Image, P.Width, P.Height, Problem)) {
        std::fprintf(stderr, "kestrine-render: cannot write %s: %s\n", P.Output.c_str(), Problem.c_str());
        return 1;
    }
    std::printf("%s | %d x %d | %d iterations | %.3f ms\n", Engine.GPU_Name, P.Width, P.Height, P.Iterations,
                Engine.Elapsed_Time);
    return 0;
}
