// A zoom video's frames, one after another with the engines kept between them, and a bar with the time
// left while they render.
#include "RenderTool.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace Render_Tool {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int Bar_Cells = 30;

std::string Duration_Text(double Seconds)
{
    const long Whole = std::lround(Seconds);
    char Text[40];
    if (Whole >= 3600)
        std::snprintf(Text, sizeof Text, "%ld h %02ld min", Whole / 3600, Whole / 60 % 60);
    else if (Whole >= 60)
        std::snprintf(Text, sizeof Text, "%ld min %02ld s", Whole / 60, Whole % 60);
    else
        std::snprintf(Text, sizeof Text, "%ld s", Whole);
    return Text;
}

// One line of stderr: the frame being rendered, the share of the slice done, the time so far and an
// estimate of the time left (the time so far, spread over the share done).
// Redrawn in place on a terminal; elsewhere (a log) a line as each frame starts.
class Frames_Bar {
public:
    Frames_Bar(bool Shown, bool Terminal) : Shown(Shown), Terminal(Terminal) {}

    void Draw(int Frame, int Done, int Count, double Of_Frame, double Seconds)
    {
        if (!Shown || (!Terminal && Of_Frame > 0))
            return;
        const double Share = std::clamp((Done + Of_Frame) / Count, 0.0, 1.0);
        std::string Cells(Bar_Cells, '.');
        std::fill_n(Cells.begin(), static_cast<int>(Share * Bar_Cells), '#');
        const std::string Left = Share > 0 ? ", " + Duration_Text(Seconds * (1 - Share) / Share) + " left" : "";
        std::fprintf(stderr, "%sframe %d, %d of %d [%s] %3d%%  %s%s%s", Terminal ? "\r\033[K" : "", Frame, Done + 1,
                     Count, Cells.c_str(), static_cast<int>(Share * 100), Duration_Text(Seconds).c_str(),
                     Left.c_str(), Terminal ? "" : "\n");
        std::fflush(stderr);
        Drawn = Terminal;
    }

    // Off the line, so that what is printed next starts at its beginning.
    void Clear()
    {
        if (Drawn)
            std::fputs("\r\033[K", stderr);
        Drawn = false;
    }

private:
    bool Shown, Terminal;
    bool Drawn = false;
};

// The engine that renders one frame; Refusal says why none can, if so.
Engine Frame_Engine(const Request& Frame, std::string& Refusal)
{
    const Engine Choice = Choose_Engine(Frame, Refusal);
    if (Refusal.empty() && Choice == Engine::Deep)
        Refusal = Kestrine_Deep::Check_View(Deep_View_Of(Frame));
    return Choice;
}

// Whether an engine can render every frame of the slice and a position can hold it, each worked out
// in turn (a long video's requests are not all held at once); if not, having said which frame fails
// and why. Before the first frame, so that a video that cannot be finished is not begun.
bool Every_Frame_Renders(const Request& R)
{
    for (int Frame = R.First_Frame; Frame <= R.Last_Frame; ++Frame) {
        std::string Refusal;
        const Request Each = Frame_Request(R, Frame);
        Frame_Engine(Each, Refusal);
        if (Refusal.empty())
            Position_Holds(Each, Refusal);
        if (!Refusal.empty()) {
            Complain("frame " + std::to_string(Frame) + ": " + Refusal);
            return false;
        }
    }
    return true;
}

// The reference orbit of the whole run's deepest frame, at one end or the other, serves every frame: of
// this slice and of any other, so that the frames are the same however the run is sliced.
long Run_Reference_Bits(const Request& R)
{
    long Bits = 0;
    for (const int End : {0, R.Frames - 1})
        Bits = std::max(Bits, Kestrine_Deep::Reference_Bits_For(Deep_View_Of(Frame_Request(R, End))));
    return Bits;
}

} // namespace

int Render_Frames(const Request& R)
{
    if (!Every_Frame_Renders(R))
        return 2;
    Kestrine_Deep::Render_Options Options;
    Options.Approximation = R.Approximation;
    Options.Interior_Check = R.Interior_Check;
    Options.Reference_Bits = Run_Reference_Bits(R);
    Engines With;
    const bool Terminal = isatty(STDERR_FILENO);
    Frames_Bar Bar(R.Progress || Terminal, Terminal);
    const Clock::time_point Start = Clock::now();
    const auto Seconds = [&] { return std::chrono::duration<double>(Clock::now() - Start).count(); };
    const int Count = R.Last_Frame - R.First_Frame + 1;
    double Reference_Seconds = 0;
    for (int i = 0; i < Count; ++i) {
        const int Frame = R.First_Frame + i;
        const Request Each = Frame_Request(R, Frame);
        std::string Refusal;
        const Engine Chosen = Frame_Engine(Each, Refusal);
        Bar.Draw(Frame, i, Count, 0, Seconds());
        const auto Watch = [&](const Kestrine_Deep::Render_Progress& Progress, double) {
            Bar.Draw(Frame, i, Count, Progress.Total > 0 ? double(Progress.Done) / double(Progress.Total) : 0, Seconds());
        };
        Render_Report Report;
        const auto Watch_Over = [&] { Bar.Clear(); };
        const int Status = Chosen == Engine::Deep ? Render_Deep(Each, With, Options, Watch, Watch_Over, Report)
                                                  : Render_Float(Each, With, Watch_Over, Report);
        Bar.Clear();
        if (Status != 0)
            return Status;
        Reference_Seconds += Report.Reference_Seconds;
        std::printf("%s | %s\n", (Each.Output.empty() ? Each.Counts_Output : Each.Output).c_str(), Report.Line.c_str());
        std::fflush(stdout);
    }
    const double Total = Seconds();
    std::printf("%d frames in %.2f s, %.3f s a frame; the reference orbit %.1f ms of it (%.2f%%)\n", Count, Total,
                Total / Count, 1000 * Reference_Seconds, Total > 0 ? 100 * Reference_Seconds / Total : 0.0);
    return 0;
}

} // namespace Render_Tool
