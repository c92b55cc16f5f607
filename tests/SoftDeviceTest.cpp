// The engine on the software device, watched through the device's counters and broken by its faults,
// and the device's own runtime rules.
#include <Pellarion.h>
#include <SoftControl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

// Device allocations and bytes, page-locked allocations and bytes, events.
using Live_Counts = std::array<std::size_t, 5>;

Live_Counts Live_Now()
{
    return {Soft_Control::Live_Device_Allocations(), Soft_Control::Live_Device_Bytes(),
            Soft_Control::Live_Host_Allocations(), Soft_Control::Live_Host_Bytes(), Soft_Control::Live_Events()};
}

// Every test ends with everything it made released: engines destroyed in every state the tests bring
// them into.
class Soft_Device_Test : public ::testing::Test {
protected:
    void SetUp() override { Soft_Control::Reset_Faults(); }
    void TearDown() override
    {
        Soft_Control::Reset_Faults();
        EXPECT_EQ(Live_Now(), Baseline) << "something the test made is still allocated";
    }

    const Live_Counts Baseline = Live_Now();
};

bool No_Buffers(const Pellarion& E)
{
    return !E.Buffers_Ready && !E.Dev_Grid && !E.Dev_Iterations && !E.Dev_Z_Real && !E.Dev_Z_Imag && !E.Host_Image;
}

void Init(Pellarion& Engine, int W, int H, int Colormap = HOT)
{
    Engine.Compute_Init(W, H, -2.0f, 2.0f, -2.0f, 2.0f, static_cast<Colormap_t>(Colormap));
}

// Each failing allocation (from Ready, on a new size) and each size no buffer or grid can hold leaves
// the engine Idle with nothing held and prints nothing; the same size is not tried again, renders do
// nothing, and a good size works again. Without its colour table the engine declines every render.
TEST_F(Soft_Device_Test, FailedOrRefusedAllocationsLeaveTheEngineIdle)
{
    for (const auto& [Failing, W, H] : std::initializer_list<std::array<int, 3>>{
             {0, -1, 100}, {0, 100, 0}, {0, 65536, 65536}, {0, 32768, 32768}, {0, 1, 2097120}, {1, 64, 48},
             {2, 64, 48}, {3, 64, 48}, {4, 64, 48}, {5, 64, 48}}) {
        Pellarion Engine;
        const Live_Counts With_Table = Live_Now();
        Init(Engine, 32, 32);
        Soft_Control::Fail_Allocation(Failing);
        testing::internal::CaptureStdout();
        Init(Engine, W, H);
        EXPECT_TRUE(No_Buffers(Engine) && Engine.Width == W && Engine.Height == H) << Failing << ": " << W << "x" << H;
        EXPECT_EQ(Live_Now(), With_Table);
        const std::uint64_t Calls = Soft_Control::Runtime_Calls();
        Init(Engine, W, H);
        Engine.Compute_Julia(4.0f, 100, 50, 0.0f, 0.0f);
        EXPECT_EQ(Soft_Control::Runtime_Calls(), Calls);
        Init(Engine, 65, 48, JET);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_TRUE(Engine.Buffers_Ready && Engine.Host_Image);
    }
    // The tallest image a launch grid can still cover is accepted, and renders.
    Pellarion Engine;
    Init(Engine, 1, 2097119);
    testing::internal::CaptureStdout();
    Engine.Compute_Julia(4.0f, 2, 50, 0.0f, 0.0f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(Engine.Buffers_Ready);

    Soft_Control::Fail_Allocation(1);
    Pellarion Without_Table;
    EXPECT_TRUE(Without_Table.GPU_Available && !Without_Table.Dev_Colormap);
    // No allocation, upload or launch: not a runtime call until the engine goes.
    const std::uint64_t Calls = Soft_Control::Runtime_Calls();
    Init(Without_Table, 64, 48);
    Without_Table.Compute_Julia(4.0f, 100, 50, 0.0f, 0.0f);
    EXPECT_TRUE(No_Buffers(Without_Table));
    EXPECT_EQ(Soft_Control::Runtime_Calls(), Calls);
}

// An old driver, no device, or a device that no kernel image of the library serves: each is no GPU.
TEST_F(Soft_Device_Test, WithoutAUsableDeviceTheEngineNeverCallsTheRuntimeAgain)
{
    enum Fault { Old_Driver, No_Device, No_Kernel_Image };
    for (const Fault F : {Old_Driver, No_Device, No_Kernel_Image}) {
        Soft_Control::Report_Old_Driver(F == Old_Driver);
        Soft_Control::Report_No_Device(F == No_Device);
        Soft_Control::Report_No_Kernel_Image(F == No_Kernel_Image);
        // The engine runs its constructor on storage the program owns, as the program does.
        alignas(Pellarion) unsigned char Storage[sizeof(Pellarion)];
        std::memset(Storage, 0xA5, sizeof(Storage));
        Pellarion& Engine = *new (Storage) Pellarion();
        const auto Untouched = [&Storage](std::size_t Offset, std::size_t Bytes) {
            return std::all_of(Storage + Offset, Storage + Offset + Bytes, [](unsigned char b) { return b == 0xA5; });
        };
        EXPECT_TRUE(!Engine.GPU_Available && !Engine.Buffers_Ready);
        EXPECT_EQ(Engine.Runtime_Version > Engine.Driver_Version, F == Old_Driver);
        EXPECT_EQ(Untouched(offsetof(Pellarion, Device_Count), 4), F == Old_Driver);
        EXPECT_EQ(Untouched(offsetof(Pellarion, CC_Major), 4 + 4 + 256), F != No_Kernel_Image);
        EXPECT_TRUE(Untouched(offsetof(Pellarion, Elapsed_Time), 4));
        const std::uint64_t Discovered = Soft_Control::Runtime_Calls();
        Engine.Compute_Init(64, 48, -1.0f, 1.0f, -1.0f, 1.0f, HOT);
        Engine.Compute_Julia(4.0f, 100, 50, 0.0f, 0.0f);
        Engine.Compute_MandelBrot(4.0f, 100, 50);
        EXPECT_EQ(Engine.X_Min, -2.0f) << "nothing is stored without a device";
        EXPECT_TRUE(Engine.Width == 0 && !Engine.Host_Image);
        Engine.~Pellarion();
        EXPECT_EQ(Soft_Control::Runtime_Calls(), Discovered) << "renders or the destructor called the runtime";
    }
}

TEST_F(Soft_Device_Test, AFailingCopyBackShowsBlackPrintsOneLineAndTheRenderStillTimes)
{
    Pellarion Engine;
    Init(Engine, 40, 30);
    Engine.Compute_MandelBrot(4.0f, 100, 50); // an earlier picture, which must not stay
    Engine.Elapsed_Time = std::nanf("");
    Soft_Control::Fail_Next_Copy(cudaErrorLaunchFailure);
    testing::internal::CaptureStdout();
    Engine.Compute_MandelBrot(4.0f, 100, 50);
    const std::string Printed = testing::internal::GetCapturedStdout(), Place = "Kestrine.cu at line ";
    const std::size_t At = Printed.find(Place);
    EXPECT_TRUE(Printed.rfind("CUDA ERROR: unspecified launch failure in ", 0) == 0 && At != std::string::npos &&
                std::atoi(Printed.c_str() + At + Place.size()) > 0 && Printed.find('\n') + 1 == Printed.size())
        << Printed;
    EXPECT_GE(Engine.Elapsed_Time, 0.0f);
    EXPECT_EQ(std::count(Engine.Host_Image, Engine.Host_Image + 40 * 30 * 4, 0), 40 * 30 * 4);
}

// Each engine with a device has timing events of its own, so that engines rendering on several
// threads at once each time their own render: a long render's time covers its whole call however many
// short renders other engines make meanwhile.
TEST_F(Soft_Device_Test, EnginesOnAnyThreadTimeTheirOwnRenders)
{
    auto Long = std::make_unique<Pellarion>();
    Pellarion Short;
    EXPECT_EQ(Soft_Control::Live_Events(), Baseline[4] + 4);
    Init(*Long, 400, 300, BONE);
    Init(Short, 50, 40, BONE);
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> Done{false};
    std::atomic<Clock::rep> Last_Short_Render{0};
    std::thread Other([&] {
        while (!Done) {
            Short.Compute_MandelBrot(4.0f, 80, 50);
            Last_Short_Render = Clock::now().time_since_epoch().count();
        }
    });
    // Long renders of many launches, so that short ones get between them; until one did.
    int Overlapped = 0;
    for (int Round = 0; Round < 10 && Overlapped == 0; ++Round) {
        Long->Elapsed_Time = std::nanf("");
        const Clock::time_point Start = Clock::now();
        Long->Compute_MandelBrot(4.0f, 2000, 4);
        const Clock::time_point End = Clock::now();
        const double Call_Ms = std::chrono::duration<double, std::milli>(End - Start).count();
        EXPECT_TRUE(Long->Elapsed_Time >= 0.5 * Call_Ms && Long->Elapsed_Time <= Call_Ms)
            << Long->Elapsed_Time << " ms timed of a call of " << Call_Ms << " ms";
        Overlapped += Last_Short_Render > Start.time_since_epoch().count();
    }
    Done = true;
    Other.join();
    EXPECT_EQ(Overlapped, 1) << "no short render ran during a long one";
    Long.reset();
    EXPECT_EQ(Soft_Control::Live_Events(), Baseline[4] + 2);

    // Engines made, used and destroyed on four threads at once give this thread's picture.
    Short.Compute_MandelBrot(4.0f, 80, 50);
    const std::vector<std::uint8_t> Wanted(Short.Host_Image, Short.Host_Image + 50 * 40 * 4);
    std::atomic<int> Same_Pictures{0};
    std::vector<std::thread> Threads;
    for (int t = 0; t < 4; ++t)
        Threads.emplace_back([&] {
            for (int Round = 0; Round < 10; ++Round) {
                Pellarion Engine;
                Init(Engine, 50, 40, BONE);
                Engine.Compute_MandelBrot(4.0f, 80, 50);
                Same_Pictures += Engine.Host_Image && std::memcmp(Engine.Host_Image, Wanted.data(), Wanted.size()) == 0;
            }
        });
    for (std::thread& T : Threads)
        T.join();
    EXPECT_EQ(Same_Pictures, 40);
}

// Launches per render, their geometry, and uploads of the colour table only when the colormap changes.
TEST_F(Soft_Device_Test, LaunchesAndUploadsAsTheRenderNeedsThem)
{
    Pellarion Engine;
    Init(Engine, 1024, 64);
    for (const auto& [N, Per_Launch, Iteration_Launches] : std::initializer_list<std::array<int, 3>>{
             {120, 50, 3}, {100, 50, 2}, {30, 50, 1}, {0, 50, 0}, {100, 0, 0}}) {
        const char* Kernels[] = {"JuliaKernel", "MandelBrotKernel", "JuliaMandelInitialize", "ApplyColorMap"};
        std::vector<std::uint64_t> Made;
        for (const char* Kernel : Kernels)
            Made.push_back(Soft_Control::Launches(Kernel).Count);
        Engine.Compute_Julia(4.0f, N, Per_Launch, 0.0f, 0.0f);
        Engine.Compute_MandelBrot(4.0f, N, Per_Launch);
        for (int k = 0; k < 4; ++k)
            Made[k] = Soft_Control::Launches(Kernels[k]).Count - Made[k];
        const std::uint64_t Wanted = Iteration_Launches;
        EXPECT_EQ(Made, (std::vector<std::uint64_t>{Wanted, Wanted, 2, 2})) << N << " by " << Per_Launch;
    }
    // One more column and row of blocks than the image needs, even for exact multiples of 32.
    const Soft_Control::Launch_Record Colour = Soft_Control::Launches("ApplyColorMap");
    EXPECT_EQ((std::array<unsigned, 3>{Colour.Last_Grid.x, Colour.Last_Grid.y, Colour.Last_Block.x}),
              (std::array<unsigned, 3>{33, 3, 32}));
    Init(Engine, 1000, 64);
    Engine.Compute_Julia(4.0f, 10, 50, 0.0f, 0.0f);
    EXPECT_EQ(Soft_Control::Launches("JuliaKernel").Last_Grid.x, 32u);
    // Exact above 2^24 iterations, where single precision would lose the last launch: 2^30 + 1 in
    // launches of 2^24 is 65 launches (the pixel escapes at once, so each costs one step).
    Engine.Compute_Init(1, 1, 3.0f, 3.0f, 0.0f, 0.0f, HOT);
    const std::uint64_t Mandelbrot_Launches = Soft_Control::Launches("MandelBrotKernel").Count;
    Engine.Compute_MandelBrot(4.0f, (1 << 30) + 1, 1 << 24);
    EXPECT_EQ(Soft_Control::Launches("MandelBrotKernel").Count - Mandelbrot_Launches, 65u);

    Pellarion Fresh;
    for (const auto& [Colormap, Uploads] : std::initializer_list<std::pair<int, std::uint64_t>>{
             {0, 0}, {8, 0}, {8, 0}, {3, 1}, {3, 0}, {5, 1}, {-1, 0}, {5, 1}}) {
        const std::uint64_t Before = Soft_Control::Host_To_Device_Copies();
        Init(Fresh, 16, 16, Colormap);
        EXPECT_EQ(Soft_Control::Host_To_Device_Copies() - Before, Uploads) << "colormap " << Colormap;
        EXPECT_EQ(Fresh.Colormap, Colormap);
    }
}

TEST_F(Soft_Device_Test, TheRuntimeKeepsTheRulesOfCuda)
{
    float* Device = nullptr;
    ASSERT_EQ(cudaMalloc(&Device, 64), cudaSuccess);
    float Host[16] = {};
    EXPECT_EQ(cudaMemcpy(Host, Device, 64, cudaMemcpyHostToDevice), cudaErrorInvalidValue);
    EXPECT_EQ(cudaMemcpy(Device, Host, 128, cudaMemcpyHostToDevice), cudaErrorInvalidValue) << "past the allocation";
    EXPECT_EQ(cudaMemcpy(Host, Device + 4, 48, cudaMemcpyDeviceToHost), cudaSuccess);
    EXPECT_EQ(cudaMemcpy(Host, Device, 16, static_cast<cudaMemcpyKind>(7)), cudaErrorInvalidMemcpyDirection);
    EXPECT_EQ(cudaFree(Host), cudaErrorInvalidValue);
    EXPECT_EQ(cudaFreeHost(Device), cudaErrorInvalidValue);
    EXPECT_EQ(cudaMemset(Host, 0, 16), cudaErrorInvalidValue);
    // The last error belongs to the thread that made it, and reading it resets it.
    std::thread([] { EXPECT_EQ(cudaGetLastError(), cudaSuccess); }).join();
    EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidValue);
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
    EXPECT_EQ(cudaFree(Device), cudaSuccess);
    EXPECT_EQ(cudaFree(Device), cudaErrorInvalidValue) << "freed twice";
    EXPECT_EQ(cudaFree(nullptr), cudaSuccess);

    // Page-locked memory: the runtime's flags, and no copy past the end of what was handed out.
    unsigned char* Locked = nullptr;
    EXPECT_EQ(cudaHostAlloc(&Locked, 64, 0x8u), cudaErrorInvalidValue);
    ASSERT_EQ(cudaHostAlloc(&Locked, 64, cudaHostAllocPortable | cudaHostAllocMapped | cudaHostAllocWriteCombined),
              cudaSuccess);
    ASSERT_EQ(cudaMalloc(&Device, 128), cudaSuccess);
    EXPECT_EQ(cudaMemcpy(Device, Locked + 32, 64, cudaMemcpyHostToDevice), cudaErrorInvalidValue);
    EXPECT_EQ(cudaMemcpy(Locked + 32, Device, 32, cudaMemcpyDeviceToHost), cudaSuccess);
    EXPECT_EQ(cudaFreeHost(Locked), cudaSuccess);
    // An armed allocation fault waits for a real request.
    Soft_Control::Fail_Allocation(1);
    void* Nothing = Host;
    EXPECT_EQ(cudaMalloc(&Nothing, 0), cudaSuccess);
    EXPECT_EQ(Nothing, nullptr);
    EXPECT_EQ(cudaHostAlloc(&Locked, 16, 0), cudaErrorMemoryAllocation);
    EXPECT_EQ(cudaFree(Device), cudaSuccess);
    cudaGetLastError();

    // Launches: every thread of a good configuration runs; one the runtime refuses runs nothing.
    std::atomic<int> Ran{0};
    auto Count_Threads = [Counter = &Ran](dim3 Grid, dim3 Block) {
        Soft_Device::Launch_Kernel("Counter", Grid, Block,
                                   [](std::atomic<int>* c) { ++*c; }, Counter);
        return cudaGetLastError();
    };
    EXPECT_EQ(Count_Threads(dim3(2, 3, 1), dim3(4, 5, 2)), cudaSuccess);
    EXPECT_EQ(Ran, 2 * 3 * 4 * 5 * 2);
    for (const auto& [Grid, Block] : std::initializer_list<std::pair<dim3, dim3>>{
             {dim3(1, 1, 1), dim3(1025, 1, 1)}, {dim3(1, 1, 1), dim3(64, 32, 1)}, {dim3(0, 1, 1), dim3(32, 32, 1)},
             {dim3(1, 65536, 1), dim3(32, 32, 1)}, {dim3(1, 1, 65536), dim3(32, 32, 1)}})
        EXPECT_EQ(Count_Threads(Grid, Block), cudaErrorInvalidConfiguration);
    EXPECT_EQ(Ran, 2 * 3 * 4 * 5 * 2);
}

} // namespace
