// Which engine renders a request, and the combinations of options that neither can render.
//
// The float engine renders while it resolves the view, by the rule the program follows too.
#include "RenderTool.h"

#include "FloatReach.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace Render_Tool {
namespace {

using Kestrine_Deep::Colouring;

// The float nearest the text; 0 where it is too small for a normal float.
float Float_Of(const std::string& Text)
{
    errno = 0;
    const float Value = std::strtof(Text.c_str(), nullptr);
    return errno == ERANGE && std::fabs(Value) < 1 ? 0.0f : Value;
}

// The spacing of one axis's pixels, and the least that the float engine resolves there.
struct Axis_Reach {
    double Spacing, Least;
};

Axis_Reach Reach_Of(float Min, float Max, int Pixels)
{
    const float Size = Max - Min;
    const float Centre = static_cast<float>(double(Size) * 0.5 + Min);
    return {Pixels > 1 ? double(Size) / (Pixels - 1) : 0.0, Float_Steps_Per_Pixel * Float_Step(Centre)};
}

// Whether the float engine resolves the view; if not, Why says by how much it falls short.
bool Float_Suffices(const Request& R, std::string& Why)
{
    const Float_Window Window = Float_Window_Of(R);
    if (Float_Resolves(Window, R.Width, R.Height))
        return true;
    const Axis_Reach X = Reach_Of(Window.X_Min, Window.X_Max, R.Width);
    const Axis_Reach Y = Reach_Of(Window.Y_Min, Window.Y_Max, R.Height);
    const Axis_Reach& Short = R.Width > 1 && !(X.Spacing >= X.Least) ? X : Y;
    char Text[200];
    if (Short.Spacing > 0 && std::isfinite(Short.Spacing))
        std::snprintf(Text, sizeof Text, "its pixels are %.3g apart, under %g single-precision steps (%.3g) at the centre",
                      Short.Spacing, Float_Steps_Per_Pixel, Short.Least);
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
        {R.Interior_Check_Given, "--interior-check", "the float engine's cycles are always caught exactly"},
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

Float_Window Float_Window_Of(const Request& R)
{
    Float_Window W{R.X_Min, R.X_Max, R.Y_Min, R.Y_Max};
    if (R.Bounds_Given) {
        if (R.Square) {
            const float Centre = (W.Y_Min + W.Y_Max) / 2;
            const float Half = (W.X_Max - W.X_Min) * float(R.Height) / float(R.Width) / 2;
            W.Y_Min = Centre - Half;
            W.Y_Max = Centre + Half;
        }
        return W;
    }
    // A position's view, edge by edge the float nearest the exact one, as the program renders it.
    if (!R.Plane_Height.empty()) {
        Plane_View Exact;
        if (!Exact.Set(R.Centre_Re, R.Centre_Im, R.Plane_Width, R.Plane_Height))
            return {NAN, NAN, NAN, NAN};
        return Exact.Edges();
    }
    const float Centre_X = Float_Of(R.Centre_Re), Centre_Y = Float_Of(R.Centre_Im);
    const float Width = Float_Of(R.Plane_Width);
    const float Height = R.Square ? Width * float(R.Height) / float(R.Width) : Width;
    return {Centre_X - Width / 2, Centre_X + Width / 2, Centre_Y - Height / 2, Centre_Y + Height / 2};
}

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
