// kestrine-render's command line.
#include "RenderTool.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace Render_Tool {
namespace {

// Over nine hours of video at 30 frames a second.
constexpr int Most_Frames = 1000000;

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

bool Read_Double(const char* Text, double& Value)
{
    char* End = nullptr;
    errno = 0;
    const double Read = std::strtod(Text, &End);
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

// A decimal number of any length: sign, digits with at most one point, an optional exponent. Nonzero
// says whether any digit before the exponent is nonzero.
bool Is_Decimal(const char* Text, bool& Nonzero)
{
    const char* p = Text + (*Text == '+' || *Text == '-');
    int Digits = 0;
    Nonzero = false;
    for (bool Point = false; std::isdigit(static_cast<unsigned char>(*p)) || (*p == '.' && !Point); ++p) {
        Point = Point || *p == '.';
        Digits += *p != '.';
        Nonzero = Nonzero || (*p != '.' && *p != '0');
    }
    if (Digits == 0)
        return false;
    if (*p == 'e' || *p == 'E') {
        p += 1 + (p[1] == '+' || p[1] == '-');
        if (!std::isdigit(static_cast<unsigned char>(*p)))
            return false;
        while (std::isdigit(static_cast<unsigned char>(*p)))
            ++p;
    }
    return *p == '\0';
}

// A colormap's name in any case, or its value, 1 to 7.
bool Read_Colormap(const char* Text, int& Value)
{
    std::string Name(Text);
    for (char& Each : Name)
        Each = char(std::toupper(static_cast<unsigned char>(Each)));
    if (const int Named = Colormap_Value(Name)) {
        Value = Named;
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

bool Read_Engine(const std::string& Text, Engine& Value)
{
    const std::pair<const char*, Engine> Names[] = {{"auto", Engine::Auto}, {"float", Engine::Float}, {"deep", Engine::Deep}};
    for (const auto& [Name, Choice] : Names)
        if (Text == Name) {
            Value = Choice;
            return true;
        }
    return false;
}

// "A-B", frame numbers from 0 with A no later than B.
bool Read_Range(const std::string& Text, int& First, int& Last)
{
    const std::size_t Dash = Text.find('-', 1);
    if (Dash == std::string::npos)
        return false;
    return Read_Int(Text.substr(0, Dash).c_str(), First) && Read_Int(Text.c_str() + Dash + 1, Last) && First >= 0 &&
           First <= Last;
}

bool Read_Switch(const std::string& Text, bool& Value)
{
    Value = Text == "on";
    return Text == "on" || Text == "off";
}

// The values after an option, taken in turn.
class Option_Reader {
public:
    Option_Reader(int argc, char** argv, int& i) : argc(argc), argv(argv), i(i) {}

    bool Decimals(std::initializer_list<std::string*> Targets, bool Positive = false)
    {
        if (!Values(int(Targets.size())))
            return false;
        for (std::string* Target : Targets) {
            bool Nonzero = false;
            const char* Text = argv[++i];
            if (!Is_Decimal(Text, Nonzero) || (Positive && (!Nonzero || *Text == '-')))
                return false;
            *Target = Text;
        }
        return true;
    }

    bool Floats(std::initializer_list<float*> Targets)
    {
        if (!Values(int(Targets.size())))
            return false;
        for (float* Target : Targets)
            if (!Read_Float(argv[++i], *Target))
                return false;
        return true;
    }

    bool Values(int Count) const { return argc - i - 1 >= Count; }
    const char* Next() { return argv[++i]; }
    const char* Peek() const { return argv[i + 1]; }

private:
    int argc;
    char** argv;
    int& i;
};

enum class Outcome { Read, Bad_Value, Unknown };

Outcome Of(bool Good) { return Good ? Outcome::Read : Outcome::Bad_Value; }

// The options without values and those whose values are numbers of the view.
Outcome Read_View_Option(const std::string& Option, Option_Reader& In, Request& R)
{
    if (Option == "--mandelbrot")
        return Of(R.Mandelbrot = true);
    if (Option == "--square") {
        R.Plane_Height.clear();
        return Of(R.Square = true);
    }
    if (Option == "--stats")
        return Of(R.Stats = true);
    if (Option == "--progress")
        return Of(R.Progress = true);
    if (Option == "--c")
        return Of(In.Decimals({&R.C_Re, &R.C_Im}));
    if (Option == "--center" || Option == "--centre")
        return Of(In.Decimals({&R.Centre_Re, &R.Centre_Im}));
    if (Option == "--width") {
        R.Plane_Height.clear(); // the rows follow the new width, not a position's height
        return Of(In.Decimals({&R.Plane_Width}, true));
    }
    if (Option == "--zoom-to")
        return Of(In.Decimals({&R.Zoom_To}, true));
    if (Option == "--window")
        return Of(R.Bounds_Given = In.Floats({&R.X_Min, &R.X_Max, &R.Y_Min, &R.Y_Max}));
    if (Option == "--size" && In.Values(1) && std::strchr(In.Peek(), 'x'))
        return Of(Read_Size(In.Next(), R.Width, R.Height));
    if (Option == "--size" && In.Values(2)) {
        const char* Width = In.Next();
        const char* Height = In.Next();
        return Of(Read_Int(Width, R.Width) && Read_Int(Height, R.Height));
    }
    return Outcome::Unknown;
}

// The options of one value.
Outcome Read_Valued_Option(const std::string& Option, const std::string& Value, Request& R)
{
    if (Option == "--set") {
        R.Mandelbrot = Value == "mandelbrot";
        return Of(Value == "julia" || Value == "mandelbrot");
    }
    if (Option == "--threshold") {
        float Check = 0;
        R.Threshold = Value;
        return Of(Read_Float(Value.c_str(), Check));
    }
    if (Option == "--iterations")
        return Of(Read_Int(Value.c_str(), R.Iterations) && R.Iterations >= 0);
    if (Option == "--colormap")
        return Of(Read_Colormap(Value.c_str(), R.Colormap));
    if (Option == "--engine")
        return Of(Read_Engine(Value, R.Chosen));
    if (Option == "--colouring" || Option == "--coloring")
        return Of(Kestrine_Deep::Colouring_Named(Value, R.Colouring));
    if (Option == "--density")
        return Of(R.Density_Given = Read_Double(Value.c_str(), R.Density) && R.Density > 0);
    if (Option == "--approximation")
        return Of(R.Approximation_Given = Read_Switch(Value, R.Approximation));
    if (Option == "--interior-check")
        return Of(R.Interior_Check_Given = Read_Switch(Value, R.Interior_Check));
    if (Option == "--out")
        return Of(!(R.Output = Value).empty());
    if (Option == "--counts")
        return Of(!(R.Counts_Output = Value).empty());
    if (Option == "--save-position")
        return Of(!(R.Position_Output = Value).empty());
    if (Option == "--frames")
        return Of(Read_Int(Value.c_str(), R.Frames) && R.Frames > 0 && R.Frames <= Most_Frames);
    if (Option == "--frame-range")
        return Of(Read_Range(Value, R.First_Frame, R.Last_Frame));
    return Outcome::Unknown;
}

const char* const Valued_Options[] = {"--set",           "--threshold", "--iterations",    "--colormap",
                                      "--engine",        "--colouring", "--coloring",      "--density",
                                      "--approximation", "--out",       "--counts",        "--save-position",
                                      "--frames",        "--frame-range", "--interior-check"};

Outcome Read_Option(const std::string& Option, Option_Reader& In, Request& R)
{
    const Outcome View = Read_View_Option(Option, In, R);
    if (View != Outcome::Unknown)
        return View;
    for (const char* Name : Valued_Options)
        if (Option == Name && In.Values(1))
            return Read_Valued_Option(Option, In.Next(), R);
    return Outcome::Unknown;
}

// A zoom video's options come together, and each file it writes has a place for the frame's number.
template <typename Failure> bool Frames_Make_Sense(Request& R, const Failure& Fail)
{
    if (R.Frames == 0)
        return R.Zoom_To.empty() && R.Last_Frame < 0 ? true : Fail("--zoom-to and --frame-range need --frames");
    if (R.Zoom_To.empty())
        return Fail("--frames needs --zoom-to, the last frame's width");
    if (R.Bounds_Given)
        return Fail("--frames zooms about the view's centre: give --center and --width, not --window");
    if (R.Last_Frame < 0)
        R.Last_Frame = R.Frames - 1;
    if (R.Last_Frame >= R.Frames)
        return Fail("--frame-range goes past the last frame, " + std::to_string(R.Frames - 1));
    for (const std::string* Name : {&R.Output, &R.Counts_Output, &R.Position_Output}) {
        const std::string Fault = Frame_Pattern_Fault(*Name);
        if (!Name->empty() && !Fault.empty())
            return Fail(Fault);
    }
    return true;
}

} // namespace

void Complain(const std::string& Why)
{
    std::fprintf(stderr, "kestrine-render: %s\n", Why.c_str());
}

bool Parse_Command_Line(int argc, char** argv, Request& R, bool& Help)
{
    auto Fail = [](const std::string& Why) {
        Complain(Why + " (--help lists the options)");
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string Option = argv[i];
        if (Option == "--help" || Option == "-h") {
            Help = true;
            return true;
        }
        if (Option == "--position") {
            std::string Problem;
            if (i + 1 == argc)
                return Fail("--position needs a file");
            if (!Load_Position(argv[++i], R, Problem))
                return Fail("no position read from " + Problem);
            continue;
        }
        Option_Reader In(argc, argv, i);
        const Outcome Read = Read_Option(Option, In, R);
        if (Read == Outcome::Unknown)
            return Fail(Option.rfind("--", 0) == 0 ? "unknown option or missing value: " + Option
                                                   : "unexpected argument: " + Option);
        if (Read == Outcome::Bad_Value)
            return Fail("bad value for " + Option);
    }
    if (R.Output.empty() && R.Counts_Output.empty())
        return Fail("no output file (--out FILE, or --counts FILE for the deep engine)");
    if (R.Width <= 0 || R.Height <= 0)
        return Fail("the size must be positive in both directions");
    return Frames_Make_Sense(R, Fail);
}

} // namespace Render_Tool
