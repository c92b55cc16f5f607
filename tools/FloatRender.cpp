// The float engine's render: Pellarion on the device the library was built for.
#include "RenderTool.h"

#include <Pellarion.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace Render_Tool {
namespace {

bool Read_Float(const std::string& Text, float& Value)
{
    char* End = nullptr;
    errno = 0;
    const float Read = std::strtof(Text.c_str(), &End);
    if (End == Text.c_str() || *End != '\0' || errno == ERANGE || !std::isfinite(Read))
        return false;
    Value = Read;
    return true;
}

struct Float_Numbers {
    float Centre_X, Centre_Y, Plane_Width, C_Real, C_Imag, Threshold;
};

// The numbers typed as text, now read as floats; false (having said which) where one is no float.
bool Read_Numbers(const Request& R, Float_Numbers& N)
{
    const struct {
        const std::string& Text;
        const char* Option;
        float& Value;
    } Fields[] = {{R.Centre_Re, "--center", N.Centre_X}, {R.Centre_Im, "--center", N.Centre_Y},
                  {R.Plane_Width, "--width", N.Plane_Width}, {R.C_Re, "--c", N.C_Real},
                  {R.C_Im, "--c", N.C_Imag}, {R.Threshold, "--threshold", N.Threshold}};
    for (const auto& Field : Fields)
        if (!Read_Float(Field.Text, Field.Value)) {
            Complain(std::string("bad value for ") + Field.Option + " (out of single precision's range)");
            return false;
        }
    return true;
}

} // namespace

int Render_Float(const Request& R, Engines& With, const std::function<void()>& Watch_Over, Render_Report& Report)
{
    Float_Numbers N{};
    if (!Read_Numbers(R, N))
        return 2;
    Pellarion& Engine = With.Float();
    if (!Engine.GPU_Available) {
        std::fprintf(stderr, "kestrine-render: no usable device (runtime %d, driver %d)\n", Engine.Runtime_Version,
                     Engine.Driver_Version);
        return 1;
    }
    const Float_Window W = Float_Window_Of(R);
    Engine.Compute_Init(R.Width, R.Height, W.X_Min, W.X_Max, W.Y_Min, W.Y_Max, static_cast<Colormap_t>(R.Colormap));
    if (R.Mandelbrot)
        Engine.Compute_MandelBrot(N.Threshold, R.Iterations, 50);
    else
        Engine.Compute_Julia(N.Threshold, R.Iterations, 50, N.C_Real, N.C_Imag);
    Watch_Over();
    if (!Engine.Host_Image || Engine.Width != R.Width || Engine.Height != R.Height) {
        Complain("the engine cannot hold a " + std::to_string(R.Width) + " x " + std::to_string(R.Height) + " image");
        return 1;
    }
    const std::string Place = Position_Text(Position_Of(R, &W));
    std::string Problem;
    if (!R.Output.empty() && !Write_Picture(R.Output, Engine.Host_Image, R.Width, R.Height, Place, Problem)) {
        Complain("cannot write " + R.Output + ": " + Problem);
        return 1;
    }
    if (!R.Position_Output.empty() && !Write_File(R.Position_Output, Place, Problem)) {
        Complain("cannot write " + R.Position_Output + ": " + Problem);
        return 1;
    }
    char Line[300];
    std::snprintf(Line, sizeof Line, "%s | %d x %d | %d iterations | %.3f ms", Engine.GPU_Name, R.Width, R.Height,
                  R.Iterations, Engine.Elapsed_Time);
    Report.Line = Line;
    Report.Reference_Seconds = 0;
    return 0;
}

} // namespace Render_Tool
