// The deep engine's render: KestrineDeep, with a progress bar while it runs, the figures it keeps, and
// the picture and counts it writes.
#include "RenderTool.h"

#include "Colormaps.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <future>

namespace Render_Tool {
namespace {

using namespace Kestrine_Deep;
using Clock = std::chrono::steady_clock;

constexpr double Bar_Delay_Seconds = 1; // shorter renders show no bar
constexpr auto Poll_Interval = std::chrono::milliseconds(100);
constexpr int Bar_Cells = 40;

volatile std::sig_atomic_t Interrupted = 0;

extern "C" void On_Interrupt(int)
{
    Interrupted = 1;
}

// One line of stderr, redrawn in place when the percentage or the whole seconds change (so that a log
// gets a line now and then, not one every poll): the reference orbit's steps while it is made, then
// the pixels done, and the seconds so far.
class Progress_Bar {
public:
    void Draw(const Render_Progress& Progress, double Seconds)
    {
        const bool Reference = Progress.Of_Reference();
        const double Done = Progress.Share();
        const int Percent = static_cast<int>(Done * 100), Whole_Seconds = static_cast<int>(Seconds);
        if (Was_Drawn && Percent == Last_Percent && Whole_Seconds == Last_Seconds && Reference == Last_Reference)
            return;
        const int Filled = static_cast<int>(Done * Bar_Cells);
        char Cells[Bar_Cells + 1];
        for (int i = 0; i < Bar_Cells; ++i)
            Cells[i] = i < Filled ? '#' : '.';
        Cells[Bar_Cells] = '\0';
        // Padded, so that the pixels' line covers the reference's.
        std::fprintf(stderr, "\r[%s] %3d%% %5d s%-17s", Cells, Percent, Whole_Seconds, Reference ? ", reference orbit" : "");
        std::fflush(stderr);
        Was_Drawn = true;
        Last_Percent = Percent;
        Last_Seconds = Whole_Seconds;
        Last_Reference = Reference;
    }

    bool Drawn() const { return Was_Drawn; }

    void Finish(const Render_Progress& Progress, double Seconds)
    {
        if (!Was_Drawn)
            return;
        Draw(Progress, Seconds);
        std::fputc('\n', stderr);
    }

private:
    bool Was_Drawn = false;
    int Last_Percent = -1, Last_Seconds = -1;
    bool Last_Reference = false;
};

// Renders on a second thread while this one passes on an interrupt as a cancellation and, every poll,
// tells Watch how far it got.
Render_Status Render_Watched(Deep_Renderer& Renderer, const Deep_View& View, const Render_Options& Options,
                             const Progress_Watch& Watch, Deep_Picture& Picture, std::string& Message)
{
    Interrupted = 0;
    const auto Previous = std::signal(SIGINT, On_Interrupt);
    const Clock::time_point Start = Clock::now();
    auto Result = std::async(std::launch::async, [&] { return Renderer.Render(View, Options, Picture, Message); });
    while (Result.wait_for(Poll_Interval) != std::future_status::ready) {
        if (Interrupted)
            Renderer.Cancel();
        if (Watch)
            Watch(Renderer.Progress(), std::chrono::duration<double>(Clock::now() - Start).count());
    }
    const Render_Status Status = Result.get();
    std::signal(SIGINT, Previous);
    return Status;
}

void Print_Stats(const Render_Stats& Stats)
{
    std::printf("number type       %s\n", Number_Type_Name(Stats.Type));
    std::printf("reference         %.3f s, %lld steps at %ld bits%s\n", Stats.Reference_Seconds,
                static_cast<long long>(Stats.Reference_Length), Stats.Precision_Bits,
                Stats.Reference_Reused ? " (reused)" : "");
    std::printf("table             %.3f s\n", Stats.Table_Seconds);
    std::printf("render            %.3f s, reference and table included\n", Stats.Render_Seconds);
    std::printf("steps per pixel   %.1f by approximation, %.1f by perturbation, %.3f rebases\n",
                Stats.Approximation_Steps_Per_Pixel, Stats.Perturbation_Steps_Per_Pixel, Stats.Rebases_Per_Pixel);
}

// The picture, the counts and the position, as asked for; the exit status.
int Write_Files(const Request& R, const Deep_Picture& Picture)
{
    const std::string Place = Position_Text(Position_Of(R, nullptr));
    std::string Problem;
    if (!R.Output.empty()) {
        const Kestrine::Colour_Table* Table = Kestrine::Colour_Table_For(R.Colormap);
        const std::vector<unsigned char> Rgba =
            Colour_Picture(Picture, Table ? Table->data() : nullptr, R.Colouring, R.Density);
        if (Rgba.empty()) {
            Complain("the picture could not be coloured");
            return 1;
        }
        if (!Write_Picture(R.Output, Rgba.data(), Picture.Width, Picture.Height, Place, Problem)) {
            Complain("cannot write " + R.Output + ": " + Problem);
            return 1;
        }
    }
    if (!R.Counts_Output.empty() && !Write_Counts(R.Counts_Output, Picture, Problem)) {
        Complain("cannot write " + R.Counts_Output + ": " + Problem);
        return 1;
    }
    if (!R.Position_Output.empty() && !Write_File(R.Position_Output, Place, Problem)) {
        Complain("cannot write " + R.Position_Output + ": " + Problem);
        return 1;
    }
    return 0;
}

} // namespace

Deep_View Deep_View_Of(const Request& R)
{
    Deep_View View;
    View.Set = R.Mandelbrot ? Fractal_Set::Mandelbrot : Fractal_Set::Julia;
    View.Centre_Re = R.Centre_Re;
    View.Centre_Im = R.Centre_Im;
    View.Width = R.Plane_Width;
    View.Height = R.Plane_Height;
    View.Image_Width = R.Width;
    View.Image_Height = R.Height;
    View.Iterations = R.Iterations;
    View.Threshold = std::strtod(R.Threshold.c_str(), nullptr);
    View.C_Re = R.C_Re;
    View.C_Im = R.C_Im;
    return View;
}

int Render_Deep(const Request& R, Engines& With, const Render_Options& Options, const Progress_Watch& Watch,
                const std::function<void()>& Watch_Over, Render_Report& Report)
{
    const Deep_View View = Deep_View_Of(R);
    const std::string Refusal = Check_View(View);
    if (!Refusal.empty()) {
        Complain("the deep engine refuses the view: " + Refusal);
        return 2;
    }
    Deep_Renderer& Renderer = With.Deep();
    if (!Renderer.Ready()) {
        Complain("no usable device for the deep engine: " + Renderer.Device_Name());
        return 1;
    }
    Deep_Picture Picture;
    std::string Message;
    const Render_Status Status = Render_Watched(Renderer, View, Options, Watch, Picture, Message);
    Watch_Over();
    if (Status != Render_Status::Finished) {
        const bool Refused = Status == Render_Status::Refused;
        Complain((Refused ? "the deep engine refuses the view: " : "the render did not finish: ") + Message);
        return Refused ? 2 : Status == Render_Status::Cancelled ? 130 : 1;
    }
    if (const int Written = Write_Files(R, Picture))
        return Written;
    const Render_Stats& Stats = Renderer.Last_Stats();
    char Line[300];
    std::snprintf(Line, sizeof Line, "%s | %d x %d | %d iterations | deep, %s | %.3f ms", Renderer.Device_Name().c_str(),
                  R.Width, R.Height, R.Iterations, Number_Type_Name(Stats.Type), 1000 * Stats.Render_Seconds);
    Report.Line = Line;
    Report.Reference_Seconds = Stats.Reference_Seconds;
    return 0;
}

int Render_Deep(const Request& R)
{
    Engines With;
    Render_Options Options;
    Options.Approximation = R.Approximation;
    Options.Interior_Check = R.Interior_Check;
    Progress_Bar Shown;
    const bool Bar = R.Progress || isatty(STDERR_FILENO);
    double Seconds = 0;
    const auto Watch = [&](const Render_Progress& Progress, double So_Far) {
        Seconds = So_Far;
        if (Bar && So_Far >= Bar_Delay_Seconds)
            Shown.Draw(Progress, So_Far);
    };
    const auto Watch_Over = [&] {
        if (Shown.Drawn()) // and so the renderer made
            Shown.Finish(With.Deep().Progress(), Seconds);
    };
    Render_Report Report;
    const int Status = Render_Deep(R, With, Options, Watch, Watch_Over, Report);
    if (Status != 0)
        return Status;
    std::printf("%s\n", Report.Line.c_str());
    if (R.Stats)
        Print_Stats(With.Deep().Last_Stats());
    return 0;
}

} // namespace Render_Tool
