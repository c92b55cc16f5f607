// kestrine-deep-bench: the deep renderer on fixed views from 1e-12 to 1e-1000 wide, with its bilinear
// approximation and stepwise, beside a plain direct double loop written here for the one view that
// double can still render. Everything in one run, on the device the library was built for.
//
// Per view: the reference orbit's time, the render time with the approximation and stepwise (each
// without the reference: a second render of the same view reuses it), the double loop's time, their
// ratios, the number type and the steps per pixel the renderer reports.
#include "DeepBench.h"
#include "Misiurewicz.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Kestrine_Deep;
using namespace Deep_Bench;
using Clock = std::chrono::steady_clock;

struct Timed_Render {
    Render_Status Status = Render_Status::Failed;
    double Seconds = 0;          // wall time less the reference's
    Render_Stats Stats;
    std::string Message;
};

struct Result {
    Bench_View View;
    Timed_Render Approximated, Stepwise;
    std::string Stepwise_Note; // why it was skipped, if it was
    double Double_Seconds = 0, Double_Differing = 0;
};

double Seconds_Since(Clock::time_point Start)
{
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

// One render, cancelled once it has taken Limit seconds.
Timed_Render Render(Deep_Renderer& Renderer, const Deep_View& View, bool Approximation, Deep_Picture& Picture,
                    double Limit = 1e9)
{
    std::mutex Lock;
    std::condition_variable Finished;
    bool Done = false;
    std::thread Watchdog([&] {
        std::unique_lock<std::mutex> Held(Lock);
        if (!Finished.wait_for(Held, std::chrono::duration<double>(Limit), [&] { return Done; }))
            Renderer.Cancel();
    });
    Timed_Render Out;
    Render_Options Options;
    Options.Approximation = Approximation;
    const Clock::time_point Start = Clock::now();
    Out.Status = Renderer.Render(View, Options, Picture, Out.Message);
    const double Wall = Seconds_Since(Start);
    {
        std::lock_guard<std::mutex> Held(Lock);
        Done = true;
    }
    Finished.notify_one();
    Watchdog.join();
    Out.Stats = Renderer.Last_Stats();
    Out.Seconds = Wall - Out.Stats.Reference_Seconds;
    return Out;
}

// A stepwise render where it fits the limit: first a sample of the same view at a quarter of the
// columns and rows, whose time times 16 predicts the whole one.
void Run_Stepwise(Deep_Renderer& Renderer, const Settings& S, Result& R)
{
    char Note[64];
    std::snprintf(Note, sizeof Note, "skipped (over %.0f s)", S.Stepwise_Limit);
    Deep_View Sample = R.View.View;
    Sample.Image_Width = std::max(2, Sample.Image_Width / 4);
    Sample.Image_Height = std::max(2, Sample.Image_Height / 4);
    Deep_Picture Picture;
    const Timed_Render Trial = Render(Renderer, Sample, false, Picture, S.Stepwise_Limit / 8);
    const double Scale = double(R.View.View.Image_Width) * R.View.View.Image_Height /
                         (double(Sample.Image_Width) * Sample.Image_Height);
    if (Trial.Status != Render_Status::Finished || Trial.Seconds * Scale > S.Stepwise_Limit) {
        R.Stepwise_Note = Trial.Status == Render_Status::Cancelled || Trial.Status == Render_Status::Finished
                              ? Note : "failed: " + Trial.Message;
        return;
    }
    R.Stepwise = Render(Renderer, R.View.View, false, Picture, S.Stepwise_Limit);
    if (R.Stepwise.Status == Render_Status::Cancelled)
        R.Stepwise_Note = Note;
    else if (R.Stepwise.Status != Render_Status::Finished)
        R.Stepwise_Note = "failed: " + R.Stepwise.Message;
}

void Run_Double(const Deep_Picture& Deep, Result& R)
{
    const Clock::time_point Start = Clock::now();
    const std::vector<std::int32_t> Counts = Double_Counts(R.View.View);
    R.Double_Seconds = Seconds_Since(Start);
    std::size_t Differing = 0;
    for (std::size_t i = 0; i < Counts.size() && i < Deep.Counts.size(); ++i)
        Differing += Counts[i] != Deep.Counts[i];
    R.Double_Differing = 100.0 * double(Differing) / double(Counts.size());
}

// ---- reporting -----------------------------------------------------------------------------------

// A figure, or "-" where there is none.
std::string Figure(double Value, bool Known, const char* Format = "%.3f")
{
    if (!Known || !std::isfinite(Value))
        return "-";
    char Text[32];
    std::snprintf(Text, sizeof Text, Format, Value);
    return Text;
}

std::string Stepwise_Text(const Result& R)
{
    return R.Stepwise_Note.empty() ? Figure(R.Stepwise.Seconds, true) : R.Stepwise_Note;
}

std::string Stepwise_Words(const Result& R)
{
    return R.Stepwise_Note.empty() ? Figure(R.Stepwise.Seconds, true) + " s" : R.Stepwise_Note;
}

void Print_Line(const Result& R)
{
    const Render_Stats& S = R.Approximated.Stats;
    std::printf("%s: %s, %lld iterations, reference %.3f s (%lld steps, %ld bits), BLA render %.3f s (table %.3f s), "
                "stepwise %s",
                R.View.Name.c_str(), Number_Type_Name(S.Type), static_cast<long long>(R.View.View.Iterations),
                S.Reference_Seconds, static_cast<long long>(S.Reference_Length), S.Precision_Bits,
                R.Approximated.Seconds, S.Table_Seconds, Stepwise_Words(R).c_str());
    if (R.Stepwise_Note.empty())
        std::printf(" (%.2fx BLA)", R.Stepwise.Seconds / R.Approximated.Seconds);
    if (R.View.Double_Baseline)
        std::printf(", double loop %.3f s (whole BLA render %.2fx it; counts differ in %.2f%% of pixels)",
                    R.Double_Seconds, (R.Approximated.Seconds + S.Reference_Seconds) / R.Double_Seconds,
                    R.Double_Differing);
    std::printf(", per pixel %.1f BLA steps, %.1f perturbation steps, %.3f rebases\n",
                S.Approximation_Steps_Per_Pixel, S.Perturbation_Steps_Per_Pixel, S.Rebases_Per_Pixel);
    std::fflush(stdout);
}

void Print_Table(const std::vector<Result>& Results)
{
    std::printf("\n%-20s %-8s %6s %8s %8s %-22s %8s %9s %10s %10s %10s\n", "view", "type", "iter", "ref s",
                "BLA s", "stepwise s", "double s", "step/BLA", "BLA/double", "BLA st/px", "pert st/px");
    for (const Result& R : Results) {
        const Render_Stats& S = R.Approximated.Stats;
        const double Whole = R.Approximated.Seconds + S.Reference_Seconds;
        std::printf("%-20s %-8s %6lld %8.3f %8.3f %-22s %8s %9s %10s %10.1f %10.1f\n", R.View.Name.c_str(),
                    Number_Type_Name(S.Type), static_cast<long long>(R.View.View.Iterations), S.Reference_Seconds,
                    R.Approximated.Seconds, Stepwise_Text(R).c_str(),
                    Figure(R.Double_Seconds, R.View.Double_Baseline).c_str(),
                    Figure(R.Stepwise.Seconds / R.Approximated.Seconds, R.Stepwise_Note.empty(), "%.2f").c_str(),
                    Figure(Whole / R.Double_Seconds, R.View.Double_Baseline, "%.2f").c_str(),
                    S.Approximation_Steps_Per_Pixel, S.Perturbation_Steps_Per_Pixel);
    }
}

// ---- the run -------------------------------------------------------------------------------------

bool Read_Settings(int argc, char** argv, Settings& S)
{
    for (int i = 1; i < argc; ++i) {
        const std::string Option = argv[i];
        if (Option == "--quick") {
            S.Width = 80;
            S.Height = 50;
            S.Stepwise_Limit = 10;
        } else if (Option == "--no-stepwise") {
            S.Stepwise = false;
        } else if (Option == "--centre") {
            S.Print_Centre = true;
        } else if (Option == "--size" && i + 1 < argc &&
                   std::sscanf(argv[i + 1], "%dx%d", &S.Width, &S.Height) == 2 && S.Width > 1 && S.Height > 1) {
            ++i;
        } else {
            std::fprintf(stderr, "usage: kestrine-deep-bench [--quick] [--size WxH] [--no-stepwise]\n"
                                 "       kestrine-deep-bench --centre   (the Misiurewicz centre's two parts, to 1e-400)\n");
            return false;
        }
    }
    return true;
}

// The view with the approximation on a fresh renderer (so that its reference is computed and timed),
// then stepwise and the double loop; false when the renderer does not finish it.
bool Run_View(const Bench_View& View, const Settings& S, Result& R)
{
    R.View = View;
    Deep_Renderer Renderer;
    Deep_Picture Picture;
    R.Approximated = Render(Renderer, View.View, true, Picture);
    if (R.Approximated.Status != Render_Status::Finished) {
        std::fprintf(stderr, "kestrine-deep-bench: %s: %s\n", View.Name.c_str(), R.Approximated.Message.c_str());
        return false;
    }
    if (S.Stepwise)
        Run_Stepwise(Renderer, S, R);
    else
        R.Stepwise_Note = "skipped (--no-stepwise)";
    if (View.Double_Baseline)
        Run_Double(Picture, R);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Settings S;
    if (!Read_Settings(argc, argv, S))
        return 2;
    if (S.Print_Centre) {
        // For driving other programs to the benchmark's place: enough digits for views to 1e-400.
        const Misiurewicz::Point Centre = Misiurewicz::Example(1400);
        std::printf("%s %s\n", Centre.Re.c_str(), Centre.Im.c_str());
        return Centre.Found ? 0 : 1;
    }
    Deep_Renderer Probe;
    if (!Probe.Ready()) {
        std::fprintf(stderr, "kestrine-deep-bench: no usable device: %s\n", Probe.Device_Name().c_str());
        return 1;
    }
    std::printf("%s, %d x %d; times in seconds, renders without their reference orbit; stepwise skipped past %.0f s\n",
                Probe.Device_Name().c_str(), S.Width, S.Height, S.Stepwise_Limit);
    bool All_Rendered = true;
    std::vector<Result> Results;
    const std::vector<Bench_View> All_Views = Views(S);
    for (const Bench_View& View : All_Views) {
        Result R;
        if (!Run_View(View, S, R)) {
            All_Rendered = false;
            continue;
        }
        Print_Line(R);
        Results.push_back(R);
    }
    Print_Table(Results);
    // Every view, the Misiurewicz ones included (a failed Newton search leaves one out).
    return All_Rendered && Results.size() == 7 ? 0 : 1;
}
