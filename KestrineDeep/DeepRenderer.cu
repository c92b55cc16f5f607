// The deep renderer: a view's reference and table on the host, its pixels in launches of bounded work
// on the device, until every pixel has finished or the render is cancelled.
#include "KestrineDeep.h"

#include "ApproximationTable.h"
#include "JuliaTrap.h"
#include "DeepKernels.cuh"
#if defined(__CUDACC__)
#include "DeepLanes.cuh"
#else
#include "DeepLaneSets.h"
#endif
#include "DeepView.h"
#include "DeviceBuffer.h"
#include "ReferenceOrbit.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <new>

namespace Kestrine_Deep {

#if defined(__CUDACC__)
// On a GPU a thread walks the pixel of its own slot.
template <bool Scaled, bool Mandelbrot>
__global__ void __launch_bounds__(Deep_Block_Threads) Deep_Kernel(Deep_Launch P)
{
    const int Slot = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
    if (Slot < P.Active_Count)
        Advance_Slots<Scaled, Mandelbrot>(P, Slot, Slot + 1);
}
#endif

namespace {

// One launch over the Count slots of the list: one thread a slot on a GPU, the lanes of the lane set
// this CPU runs on the software device.
void Launch_Slots(const Deep_Launch& Launch, std::size_t Count, bool Scaled)
{
    const dim3 Grid(static_cast<unsigned>((Count + Deep_Block_Threads - 1) / Deep_Block_Threads));
#if defined(__CUDACC__)
    if (Scaled && Launch.Mandelbrot)
        Deep_Kernel<true, true><<<Grid, Deep_Block_Threads>>>(Launch);
    else if (Scaled)
        Deep_Kernel<true, false><<<Grid, Deep_Block_Threads>>>(Launch);
    else if (Launch.Mandelbrot)
        Deep_Kernel<false, true><<<Grid, Deep_Block_Threads>>>(Launch);
    else
        Deep_Kernel<false, false><<<Grid, Deep_Block_Threads>>>(Launch);
#else
    const Deep_Lane_Kernels& Kernels = Deep_Lane_Kernels_Here();
    Soft_Device::Launch_Lanes("Deep_Kernel", Grid, dim3(Deep_Block_Threads), Soft_Device::Launch_Order::Now,
                              (Scaled ? Kernels.Scaled_View : Kernels.Double_View)[Launch.Mandelbrot ? 1 : 0], Launch);
#endif
}

using Clock = std::chrono::steady_clock;

double Seconds_Since(Clock::time_point Start)
{
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

// A launch is sized to take about this long: short enough to cancel a render promptly and to stay
// far from a display driver's watchdog, long enough that launching costs little.
constexpr double Launch_Target_Seconds = 0.02;

// Every render's first pass takes every Probe_Grid-th pixel of every Probe_Grid-th row: a sample of
// the picture, whose steps, scaled to all the pixels, are what progress is measured against. A probed
// render's later passes halve the spacing, with the pixels between those finished, down to all of them;
// any other render takes all the pixels left in a second pass. Without the probe a pixel's walk depends
// on the view, the reference and the table alone, never on other pixels, so the order changes nothing.
constexpr int Probe_Grid = 16;

// The pixels on the grid of spacing Stride that are not on the grid of the pass before (Previous; 0
// for the first pass).
std::vector<int> Pass_Pixels(int W, int H, int Stride, int Previous)
{
    std::vector<int> Out;
    for (int y = 0; y < H; y += Stride)
        for (int x = 0; x < W; x += Stride)
            if (Previous == 0 || x % Previous != 0 || y % Previous != 0)
                Out.push_back(y * W + x);
    return Out;
}

} // namespace

struct Deep_Renderer::State {
    Device_Status Device;
    std::string Device_Description;
    bool Device_Ready = false;

    Reference_Orbit Orbit;
    std::uint64_t Uploaded_Orbit = ~std::uint64_t{0};
    Approximation_Table Table;
    Device_Buffer<Orbit_Point> Points, Offsets;
    Device_Buffer<Approximation_Step> Steps;
    Device_Buffer<double> Entry_Radii;
    Device_Buffer<Pixel_State> States;
    Device_Buffer<int> Counts, Active;
    Device_Buffer<float> Smooth;
    Device_Buffer<Slot_Report> Reports;

    std::atomic<bool> Rendering{false}, Cancel_Requested{false};
    std::atomic<std::int64_t> Done{0}, Total{0}, Steps_Done{0}, Steps_Expected{0};
    Render_Stats Stats;

    Render_Status Run(const Deep_View& View, const Render_Options& Options, Deep_Picture& Picture, std::string& Message);
    bool Prepare_Reference(const Deep_View& View, const Render_Options& Options);
    bool Allocate_Pixels(std::size_t Pixels);
    Deep_Launch Launch_For(const Deep_View& View, const Render_Options& Options) const;
    Render_Status Iterate(Deep_Launch Launch, int W, int H);
    Render_Status Run_Pass(Deep_Launch& Launch, std::vector<int>& Unfinished, double& Budget);
    double Skipped = 0, Stepped = 0, Rebases = 0;
    bool Read_Back(Deep_Picture& Picture, std::size_t Pixels);
};

Deep_Renderer::Deep_Renderer() : Self(new State)
{
    Self->Device_Ready = Self->Device.Find(Self->Device_Description);
}

Deep_Renderer::~Deep_Renderer() = default;

bool Deep_Renderer::Ready() const
{
    return Self->Device_Ready;
}

std::string Deep_Renderer::Device_Name() const
{
    return Self->Device_Description;
}

void Deep_Renderer::Cancel()
{
    if (Self->Rendering.load())
        Self->Cancel_Requested.store(true);
}

Render_Progress Deep_Renderer::Progress() const
{
    const std::int64_t Wanted = Self->Orbit.Steps_Wanted();
    return Render_Progress{Self->Done.load(), Self->Total.load(), Wanted > 0 ? Self->Orbit.Steps_Made() : 0,
                           Wanted, Self->Steps_Done.load(), Self->Steps_Expected.load()};
}

const Render_Stats& Deep_Renderer::Last_Stats() const
{
    return Self->Stats;
}

Render_Status Deep_Renderer::Render(const Deep_View& View, const Render_Options& Options, Deep_Picture& Picture,
                                    std::string& Message)
{
    Picture = Deep_Picture{};
    Message = Check_View(View);
    if (Message.empty() && (Options.Reference_Bits < 0 || Options.Reference_Bits > Most_Reference_Bits))
        Message = "reference bits: " + std::to_string(Options.Reference_Bits) + " is not within 0 to " +
                  std::to_string(Most_Reference_Bits);
    if (!Message.empty())
        return Render_Status::Refused;
    if (!Self->Device_Ready) {
        Message = "no device: " + Self->Device_Description;
        return Render_Status::Failed;
    }
    Self->Cancel_Requested.store(false);
    Self->Rendering.store(true);
    Render_Status Status = Render_Status::Failed;
    try {
        Status = Self->Run(View, Options, Picture, Message);
    } catch (const std::bad_alloc&) {
        Message = "out of memory";
    }
    Self->Rendering.store(false);
    if (Status != Render_Status::Finished)
        Picture = Deep_Picture{};
    return Status;
}

Render_Status Deep_Renderer::State::Run(const Deep_View& View, const Render_Options& Options, Deep_Picture& Picture,
                                        std::string& Message)
{
    const Clock::time_point Start = Clock::now();
    const std::size_t Pixels = static_cast<std::size_t>(View.Image_Width) * static_cast<std::size_t>(View.Image_Height);
    Stats = Render_Stats{};
    Stats.Type = Number_Type_For(View);
    Done.store(0);
    Total.store(static_cast<std::int64_t>(Pixels));
    Steps_Done.store(0);
    Steps_Expected.store(0);

    if (!Prepare_Reference(View, Options)) {
        Message = Cancel_Requested.load()      ? "cancelled"
                  : !Orbit.Refusal().empty() ? Orbit.Refusal()
                                             : Device.Failure("the reference orbit: out of memory");
        return Cancel_Requested.load() ? Render_Status::Cancelled : Render_Status::Failed;
    }
    if (!Allocate_Pixels(Pixels)) {
        Message = Device.Failure("the pixels' buffers");
        return Render_Status::Failed;
    }
    const Render_Status Status = Iterate(Launch_For(View, Options), View.Image_Width, View.Image_Height);
    if (Status == Render_Status::Cancelled)
        Message = "cancelled";
    if (Status != Render_Status::Finished) {
        if (Status == Render_Status::Failed)
            Message = Device.Failure("the pixels' iteration");
        return Status;
    }
    Picture.Width = View.Image_Width;
    Picture.Height = View.Image_Height;
    Picture.Iterations = View.Iterations;
    if (!Read_Back(Picture, Pixels)) {
        Message = Device.Failure("reading the picture back");
        return Render_Status::Failed;
    }
    Stats.Render_Seconds = Seconds_Since(Start);
    return Render_Status::Finished;
}

bool Deep_Renderer::State::Prepare_Reference(const Deep_View& View, const Render_Options& Options)
{
    Clock::time_point Start = Clock::now();
    bool Reused = false;
    if (!Orbit.Prepare(View, std::max(Reference_Precision(View), Options.Reference_Bits), Options.Cycle_Kept,
                       Cancel_Requested, Reused))
        return false;
    Stats.Reference_Seconds = Reused ? 0 : Seconds_Since(Start);
    Stats.Reference_Reused = Reused;
    Stats.Reference_Length = Orbit.Length();
    Stats.Precision_Bits = Orbit.Precision();
    if (Uploaded_Orbit != Orbit.Version()) {
        const std::size_t Count = Orbit.Points().size();
        if (!Points.Upload(Device, Orbit.Points().data(), Count) || !Offsets.Upload(Device, Orbit.Offsets().data(), Count))
            return false;
        Uploaded_Orbit = Orbit.Version();
    }

    Start = Clock::now();
    Table = Approximation_Table{};
    if (Options.Approximation) {
        // The farthest pixel from the centre: half the image's diagonal.
        const Deep_Numbers::Scaled_Real Spacing = Pixel_Spacing(View);
        const double Half_Diagonal = 0.5 * std::hypot(View.Image_Width - 1.0, (View.Image_Height - 1.0) * Row_Ratio(View));
        const Deep_Numbers::Scaled_Real Delta_C_Max = Spacing * Deep_Numbers::To_Scaled(Half_Diagonal);
        const double Bound = Escape_Bound(View);
        const double Escape_Radius = View.Set == Fractal_Set::Mandelbrot ? std::sqrt(Bound) : View.Threshold;
        if (!Build_Approximation_Table(Orbit, View.Set == Fractal_Set::Mandelbrot, Delta_C_Max, Escape_Radius, Cancel_Requested, Table))
            return false;
        if (!Steps.Upload(Device, Table.Steps.data(), Table.Steps.size()))
            return false;
        const std::vector<double> Radii = Entry_Radii_Squared(Table, Orbit.Length());
        if (!Entry_Radii.Upload(Device, Radii.data(), Radii.size()))
            return false;
    }
    Stats.Table_Seconds = Seconds_Since(Start);
    return true;
}

bool Deep_Renderer::State::Allocate_Pixels(std::size_t Pixels)
{
    const std::size_t Slice = std::min(Pixels, static_cast<std::size_t>(std::max(Device.Width(), 1)));
    return States.Reserve(Device, Pixels) && Counts.Reserve(Device, Pixels) && Active.Reserve(Device, Slice) &&
           Smooth.Reserve(Device, Pixels) && Reports.Reserve(Device, Slice) &&
           Device.Check(cudaMemset(States.Data(), 0, Pixels * sizeof(Pixel_State)), "clearing the pixels");
}

Deep_Launch Deep_Renderer::State::Launch_For(const Deep_View& View, const Render_Options& Options) const
{
    Deep_Launch Launch{};
    Launch.Z = Points.Data();
    Launch.D = Offsets.Data();
    Launch.Length = static_cast<int>(Orbit.Length());
    Launch.Period = static_cast<int>(Orbit.Period());
    Launch.Table = Steps.Data();
    Launch.Entry_Radius_Squared = Entry_Radii.Data();
    Launch.Approximate = Options.Approximation && Table.Levels > 0;
    Launch.Levels = Launch.Approximate ? Table.Levels : 0;
    Launch.First_Step = Table.First_Step;
    std::copy(std::begin(Table.Level_Offset), std::end(Table.Level_Offset), Launch.Level_Offset);
    std::copy(std::begin(Table.Level_Size), std::end(Table.Level_Size), Launch.Level_Size);
    Launch.Mandelbrot = View.Set == Fractal_Set::Mandelbrot;
    Launch.Probe = Launch.Mandelbrot && Options.Interior_Check && Stats.Type == Number_Type::Double;
    Launch.Stride = 0;
    if (!Launch.Mandelbrot && Options.Interior_Check)
        Launch.Trap = Find_Julia_Trap(Orbit.Start_Constant(), Escape_Bound(View));
    Launch.Largest_Radius = Table.Largest_Radius;
    Launch.Largest_Radius_Squared = Deep_Numbers::To_Double(Table.Largest_Radius * Table.Largest_Radius);
    Launch.Spacing = Pixel_Spacing(View);
    Launch.Row_Ratio = Row_Ratio(View);
    Launch.Constant = Orbit.Start_Constant();
    Launch.Bound = Escape_Bound(View);
    Launch.Iterations = static_cast<int>(View.Iterations);
    Launch.W = View.Image_Width;
    Launch.H = View.Image_Height;
    Launch.States = States.Data();
    Launch.Counts = Counts.Data();
    Launch.Smooth = Smooth.Data();
    Launch.Reports = Reports.Data();
    Launch.Active = Active.Data();
    return Launch;
}

// The passes over the sample grid and then the rest (Pass_Pixels). After the sample, the steps the
// whole picture should take are its steps per pixel times the pixels.
Render_Status Deep_Renderer::State::Iterate(Deep_Launch Launch, int W, int H)
{
    Skipped = Stepped = Rebases = 0;
    // Steps per pixel: start with about a million in all, then follow the measured rate.
    const std::size_t Slice = static_cast<std::size_t>(std::max(Device.Width(), 1));
    double Budget = std::max(1.0, 1e6 / static_cast<double>(std::min(Slice, static_cast<std::size_t>(W) * H)));
    int Previous = 0;
    for (int Stride = Probe_Grid; Stride >= 1; Stride = Launch.Probe ? Stride / 2 : Stride / Probe_Grid) {
        // The sample's pixels stop with what the probe finds on them; the pixels of each later pass
        // look at the finished ones of the grid twice as wide about them.
        Launch.Stride = Previous == 0 ? 0 : Stride;
        std::vector<int> Unfinished = Pass_Pixels(W, H, Stride, Previous);
        const std::size_t Pass_Size = Unfinished.size();
        const Render_Status Status = Run_Pass(Launch, Unfinished, Budget);
        if (Status != Render_Status::Finished)
            return Status;
        if (Previous == 0 && Pass_Size > 0)
            Steps_Expected.store(static_cast<std::int64_t>((Skipped + Stepped) / static_cast<double>(Pass_Size) *
                                                           static_cast<double>(W) * H));
        Previous = Stride;
    }
    return Render_Status::Finished;
}

// Launches over the pixels of a pass that have not finished, a slice of them at a time, each launch
// sized by the last one's time to take about Launch_Target_Seconds. The list is shortened once per round.
Render_Status Deep_Renderer::State::Run_Pass(Deep_Launch& Launch, std::vector<int>& Unfinished, double& Budget)
{
    std::vector<unsigned char> Finished(Unfinished.empty() ? 0 : *std::max_element(Unfinished.begin(), Unfinished.end()) + 1, 0);
    std::vector<Slot_Report> Slot_Reports;
    const std::size_t Slice = static_cast<std::size_t>(std::max(Device.Width(), 1));
    const bool Scaled = Stats.Type == Number_Type::Extended;
    std::size_t Cursor = 0, Left = Unfinished.size();
    while (Left > 0) {
        if (Cancel_Requested.load())
            return Render_Status::Cancelled;
        if (Cursor >= Unfinished.size()) {
            Unfinished.erase(std::remove_if(Unfinished.begin(), Unfinished.end(), [&](int Pixel) { return Finished[Pixel]; }),
                             Unfinished.end());
            Cursor = 0;
        }
        const std::size_t Count = std::min(Slice, Unfinished.size() - Cursor);
        Launch.Active_Count = static_cast<int>(Count);
        Launch.Budget = static_cast<int>(Budget);
        if (!Device.Check(cudaMemcpy(Active.Data(), Unfinished.data() + Cursor, Count * sizeof(int), cudaMemcpyHostToDevice),
                          "the list of pixels"))
            return Render_Status::Failed;
        const Clock::time_point Start = Clock::now();
        Launch_Slots(Launch, Count, Scaled);
        if (!Device.Check(cudaGetLastError(), "launching the pixels"))
            return Render_Status::Failed;
        Slot_Reports.resize(Count);
        if (!Device.Check(cudaMemcpy(Slot_Reports.data(), Reports.Data(), Count * sizeof(Slot_Report), cudaMemcpyDeviceToHost),
                          "the finished pixels"))
            return Render_Status::Failed;
        const double Took = std::max(Seconds_Since(Start), 1e-5);
        for (std::size_t Slot = 0; Slot < Count; ++Slot) {
            const Slot_Report& Report = Slot_Reports[Slot];
            Skipped += Report.Skipped, Stepped += Report.Stepped, Rebases += Report.Rebases;
            if (Report.Done) {
                Finished[Unfinished[Cursor + Slot]] = 1;
                --Left;
                Done.fetch_add(1);
            }
        }
        Steps_Done.store(static_cast<std::int64_t>(Skipped + Stepped));
        Cursor += Count;
        // Never more than four times the budget at once: the pixels left may be the slow ones.
        Budget = std::clamp(std::min(Budget * Launch_Target_Seconds / Took, 4 * Budget), 1.0, static_cast<double>(1 << 30));
    }
    return Render_Status::Finished;
}

bool Deep_Renderer::State::Read_Back(Deep_Picture& Picture, std::size_t Pixels)
{
    Picture.Counts.resize(Pixels);
    Picture.Smooth.resize(Pixels);
    if (!Device.Check(cudaMemcpy(Picture.Counts.data(), Counts.Data(), Pixels * sizeof(int), cudaMemcpyDeviceToHost),
                      "the counts") ||
        !Device.Check(cudaMemcpy(Picture.Smooth.data(), Smooth.Data(), Pixels * sizeof(float), cudaMemcpyDeviceToHost),
                      "the smooth counts"))
        return false;
    Stats.Approximation_Steps_Per_Pixel = Skipped / static_cast<double>(Pixels);
    Stats.Perturbation_Steps_Per_Pixel = Stepped / static_cast<double>(Pixels);
    Stats.Rebases_Per_Pixel = Rebases / static_cast<double>(Pixels);
    return true;
}

} // namespace Kestrine_Deep
