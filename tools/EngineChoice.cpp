// Which engine renders a request, and the combinations of options that neither can render.
//
// The float engine's limit is the one Vorlane's status line gives notice of: once a pixel is less than
// 8 single-precision steps of the centre wide, neighbouring pixels start to land on the same float and
// zooming further only enlarges them.
#include "RenderTool.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace Render_Tool {
namespace {

using Kestrine_Deep::Colouring;

constexpr double Float_Steps_Per_Pixel = 8;

// The float nearest the text; 0 where it is too small for a normal float.
float Float_Of(const std::string& Text)
{
    errno = 0;
    const float Value = std::strtof(Text.c_str(), nullptr);
    return errno == ERANGE && std::fabs(Value) < 1 ? 0.0f : Value;
}

// The distance from |Value| to the next float up: the resolution of single precision there.
double Float_Step(float Value)
{
    const float Magnitude = std::fabs(Value);
    return double(std::nextafter(Magnitude, INFINITY)) - double(Magnitude);
}

// The float engine's view: its centre as floats, the spacing of its columns and rows.
struct Float_Grid {
    float Centre_X, Centre_Y;
    double Step_X, Step_Y;
};

Float_Grid Grid_Of(const Request& R)
{
    const double Columns = R.Width - 1, Rows = R.Height - 1;
    if (R.Bounds_Given) {
        const double Height = R.Square ? double(R.X_Max - R.X_Min) * R.Height / R.Width : double(R.Y_Max - R.Y_Min);
        return {(R.X_Min + R.X_Max) / 2, (R.Y_Min + R.Y_Max) / 2, double(R.X_Max - R.X_Min) / Columns, Height / Rows};
    }
    const double Width = Float_Of(R.Plane_Width);
    const double Height = R.Square ? Width * R.Height / R.Width : Width;
    return {Float_Of(R.Centre_Re), Float_Of(R.Centre_Im), Width / Columns, Height / Rows};
}

// Whether the float engine resolves the view; if not, Why says by how much it falls short. A single
// column or row has no spacing along its axis, and nothing to resolve there.
bool Float_Suffices(const Request& R, std::string& Why)
{
    const Float_Grid Grid = Grid_Of(R);
    const double Limit_X = Float_Steps_Per_Pixel * Float_Step(Grid.Centre_X);
    const double Limit_Y = Float_Steps_Per_Pixel * Float_Step(Grid.Centre_Y);
    const bool Fine_X = R.Width > 1 && std::fabs(Grid.Step_X) < Limit_X;
    const bool Fine_Y = R.Height > 1 && std::fabs(Grid.Step_Y) < Limit_Y;
    if (!Fine_X && !Fine_Y)
        return true;
    const double Step = Fine_X ? std::fabs(Grid.Step_X) : std::fabs(Grid.Step_Y);
    char Text[200];
    if (Step > 0)
        std::snprintf(Text, sizeof Text, "its pixels are %.3g apart, under %g single-precision steps (%.3g) at the centre",
                      Step, Float_Steps_Per_Pixel, Fine_X ? Limit_X : Limit_Y);
    else
        std::snprintf(Text, sizeof Text, "its width is below single precision's range");
    Why = Text;
    return false;
}

// The first option given that only the deep engine serves, with the reason; null if none.
const char* Deep_Only_Option(const Request& R, const char*& Reason)
{
    const struct {
        bool Given;
        const char* Option;
        const char* Reason;
    } Options[] = {
        {!R.Counts_Output.empty(), "--counts", "the float engine keeps no counts to write"},
        {R.Colouring != Colouring::Table, "--colouring cycle|smooth", "the float engine colours by its table only"},
        {R.Approximation_Given, "--approximation", "the float engine has no approximation to switch"},
        {R.Stats, "--stats", "the float engine has none of its figures"},
    };
    for (const auto& Option : Options)
        if (Option.Given) {
            Reason = Option.Reason;
            return Option.Option;
        }
    return nullptr;
}

std::string Float_Refusal(const Request& R, const std::string& Depth)
{
    if (!Depth.empty())
        return "the view is too deep for the float engine: " + Depth +
               (R.Bounds_Given ? "; give --center and --width for the deep engine" : "; --engine deep renders it");
    const char* Reason = nullptr;
    if (const char* Option = Deep_Only_Option(R, Reason))
        return std::string(Option) + " needs the deep engine: " + Reason +
               (R.Chosen == Engine::Auto ? " (this view is shallow enough for it; add --engine deep)" : "");
    return {};
}

std::string Deep_Refusal(const Request& R)
{
    if (R.Bounds_Given)
        return "--window is for the float engine; the deep engine takes --center and --width (its pixels are square)";
    return {};
}

} // namespace

Engine Choose_Engine(const Request& R, std::string& Refusal)
{
    if (R.Density_Given && R.Colouring != Colouring::Smooth) {
        Refusal = "--density applies to --colouring smooth only";
        return R.Chosen;
    }
    std::string Depth;
    const bool Float_Resolves = Float_Suffices(R, Depth);
    Engine Chosen = R.Chosen;
    if (Chosen == Engine::Auto)
        Chosen = R.Colouring == Colouring::Table && (Float_Resolves || R.Bounds_Given) ? Engine::Float : Engine::Deep;
    Refusal = Chosen == Engine::Float ? Float_Refusal(R, Depth) : Deep_Refusal(R);
    return Chosen;
}

} // namespace Render_Tool
