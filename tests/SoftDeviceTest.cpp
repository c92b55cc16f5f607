// The engine on the software device, watched through the device's counters and broken by its faults.
#include <Pellarion.h>
#include <SoftControl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <regex>
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

std::uint64_t Launches(const char* Kernel)
{
    return Soft_Control::Launches(Kernel).Count;
}

bool No_Buffers(const Pellarion& E)
{
    return !E.Buffers_Ready && !E.Dev_Grid && !E.Dev_Iterations && !E.Dev_Z_Real && !E.Dev_Z_Imag && !E.Host_Image;
}

TEST_F(Soft_Device_Test, EachFailingImageAllocationLeavesTheEngineIdle)
{
    for (int Failing = 1; Failing <= 5; ++Failing) {
        Pellarion Engine;
        const Live_Counts With_Table = Live_Now();
        Soft_Control::Fail_Allocation(Failing);
        testing::internal::CaptureStdout();
        Engine.Compute_Init(64, 48, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
        EXPECT_TRUE(No_Buffers(Engine)) << "allocation " << Failing;
        EXPECT_EQ(Engine.Width, 64);
        EXPECT_EQ(Engine.Height, 48);
        EXPECT_EQ(Live_Now(), With_Table) << "allocation " << Failing;

        // The same size is not tried again; renders do nothing; nothing is printed, now or later.
        const std::uint64_t Calls = Soft_Control::Runtime_Calls();
        Engine.Compute_Init(64, 48, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
        Engine.Compute_Julia(4.0f, 100, 50, 0.0f, 0.0f);
        EXPECT_EQ(Soft_Control::Runtime_Calls(), Calls);
        Engine.Compute_Init(65, 48, -2.0f, 2.0f, -2.0f, 2.0f, JET);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_TRUE(Engine.Buffers_Ready);
        EXPECT_NE(Engine.Host_Image, nullptr);
    }
}

TEST_F(Soft_Device_Test, OversizedImagesAllocateNothing)
{
    Pellarion Engine;
    const Live_Counts With_Table = Live_Now();
    for (const auto& Size : {std::array<int, 2>{-1, 100}, {100, 0}, {65536, 65536}, {32768, 32768}, {1, 2097120}}) {
        Engine.Compute_Init(Size[0], Size[1], -2.0f, 2.0f, -2.0f, 2.0f, HOT);
        EXPECT_TRUE(No_Buffers(Engine)) << Size[0] << " x " << Size[1];
        EXPECT_EQ(Live_Now(), With_Table) << Size[0] << " x " << Size[1];
    }
    // The tallest image a launch grid can still cover is accepted, and renders.
    Engine.Compute_Init(1, 2097119, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
    EXPECT_TRUE(Engine.Buffers_Ready);
    testing::internal::CaptureStdout();
    Engine.Compute_Julia(4.0f, 2, 50, 0.0f, 0.0f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// The engine runs its constructor on storage the program owns, as the program does.
struct Engine_On_Pattern {
    alignas(Pellarion) unsigned char Storage[sizeof(Pellarion)];
    Pellarion* Engine;

    Engine_On_Pattern()
    {
        std::memset(Storage, 0xA5, sizeof(Storage));
        Engine = new (Storage) Pellarion();
    }
    ~Engine_On_Pattern() { Engine->~Pellarion(); }

    bool Untouched(std::size_t Offset, std::size_t Bytes) const
    {
        for (std::size_t i = Offset; i < Offset + Bytes; ++i)
            if (Storage[i] != 0xA5)
                return false;
        return true;
    }
};

// An old driver, no device, or a device that no kernel image of the library serves: each is no GPU.
TEST_F(Soft_Device_Test, WithoutAUsableDeviceTheEngineNeverCallsTheRuntimeAgain)
{
    enum Fault { Old_Driver, No_Device, No_Kernel_Image };
    for (const Fault F : {Old_Driver, No_Device, No_Kernel_Image}) {
        Soft_Control::Reset_Faults();
        Soft_Control::Report_Old_Driver(F == Old_Driver);
        Soft_Control::Report_No_Device(F == No_Device);
        Soft_Control::Report_No_Kernel_Image(F == No_Kernel_Image);
        // Two version queries, then as far as each gets: the device count; the properties, the kernel
        // query and the clearing of the error it leaves.
        const std::uint64_t Discovery_Calls = F == Old_Driver ? 2u : F == No_Device ? 3u : 6u;
        const std::uint64_t Calls_Before = Soft_Control::Runtime_Calls();
        {
            Engine_On_Pattern On_Pattern;
            Pellarion& Engine = *On_Pattern.Engine;
            EXPECT_FALSE(Engine.GPU_Available);
            EXPECT_FALSE(Engine.Buffers_Ready);
            EXPECT_EQ(Engine.Runtime_Version > Engine.Driver_Version, F == Old_Driver);
            EXPECT_EQ(On_Pattern.Untouched(offsetof(Pellarion, Device_Count), 4), F == Old_Driver);
            EXPECT_EQ(On_Pattern.Untouched(offsetof(Pellarion, CC_Major), 4 + 4 + 256), F != No_Kernel_Image);
            EXPECT_TRUE(On_Pattern.Untouched(offsetof(Pellarion, Elapsed_Time), 4));
            EXPECT_EQ(Soft_Control::Runtime_Calls() - Calls_Before, Discovery_Calls);

            const std::uint64_t Calls = Soft_Control::Runtime_Calls();
            Engine.Compute_Init(64, 48, -1.0f, 1.0f, -1.0f, 1.0f, HOT);
            Engine.Compute_Julia(4.0f, 100, 50, 0.0f, 0.0f);
            Engine.Compute_MandelBrot(4.0f, 100, 50);
            EXPECT_EQ(Engine.X_Min, -2.0f) << "nothing is stored without a device";
            EXPECT_EQ(Engine.Width, 0);
            EXPECT_EQ(Engine.Host_Image, nullptr);
            EXPECT_EQ(Soft_Control::Runtime_Calls(), Calls);
        }
        EXPECT_EQ(Soft_Control::Runtime_Calls() - Calls_Before, Discovery_Calls);
    }
}

TEST_F(Soft_Device_Test, AFailingCopyBackShowsBlackPrintsOneLineAndTheRenderStillTimes)
{
    Pellarion Engine;
    Engine.Compute_Init(40, 30, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
    Engine.Compute_MandelBrot(4.0f, 100, 50); // an earlier picture, which must not stay
    Engine.Elapsed_Time = std::nanf("");
    Soft_Control::Fail_Next_Copy(cudaErrorLaunchFailure);
    testing::internal::CaptureStdout();
    Engine.Compute_MandelBrot(4.0f, 100, 50);
    const std::string Printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::regex_match(Printed, std::regex("CUDA ERROR: unspecified launch failure in \\S*Kestrine\\.cu at "
                                                     "line [1-9][0-9]*\n")))
        << Printed;
    EXPECT_FALSE(std::isnan(Engine.Elapsed_Time));
    EXPECT_GE(Engine.Elapsed_Time, 0.0f);
    EXPECT_EQ(std::count(Engine.Host_Image, Engine.Host_Image + 40 * 30 * 4, 0), 40 * 30 * 4);
}

TEST_F(Soft_Device_Test, DestroyingTheEngineReleasesEverythingInEveryState)
{
    auto Destroyed_Clean = [&](auto Bring_Into_State) {
        {
            Pellarion Engine;
            Bring_Into_State(Engine);
        }
        Soft_Control::Reset_Faults();
        return Live_Now() == Baseline;
    };
    EXPECT_TRUE(Destroyed_Clean([](Pellarion&) {}));
    EXPECT_TRUE(Destroyed_Clean([](Pellarion& E) {
        E.Compute_Init(300, 200, -2.0f, 2.0f, -2.0f, 2.0f, SKY);
        E.Compute_Julia(4.0f, 60, 50, -0.4f, 0.6f);
    }));
    EXPECT_TRUE(Destroyed_Clean([](Pellarion& E) {
        E.Compute_Init(300, 200, -2.0f, 2.0f, -2.0f, 2.0f, SKY);
        Soft_Control::Fail_Allocation(4);
        E.Compute_Init(301, 200, -2.0f, 2.0f, -2.0f, 2.0f, SKY);
    }));
    EXPECT_TRUE(Destroyed_Clean([](Pellarion& E) { E.Compute_Init(-3, 200, -2.0f, 2.0f, -2.0f, 2.0f, SKY); }));
    Soft_Control::Fail_Allocation(1); // the colour table, the constructor's only allocation
    EXPECT_TRUE(Destroyed_Clean([](Pellarion& E) { E.Compute_Init(30, 20, -2.0f, 2.0f, -2.0f, 2.0f, SKY); }));
    Soft_Control::Report_No_Device(true);
    EXPECT_TRUE(Destroyed_Clean([](Pellarion& E) { E.Compute_Init(30, 20, -2.0f, 2.0f, -2.0f, 2.0f, SKY); }));
}

TEST_F(Soft_Device_Test, WithoutAColourTableTheEngineDeclinesEveryRender)
{
    Soft_Control::Fail_Allocation(1);
    Pellarion Engine;
    EXPECT_TRUE(Engine.GPU_Available);
    EXPECT_EQ(Engine.Dev_Colormap, nullptr);
    const std::uint64_t Uploads = Soft_Control::Host_To_Device_Copies();
    const std::uint64_t Colour_Passes = Launches("ApplyColorMap");
    testing::internal::CaptureStdout();
    Engine.Compute_Init(64, 48, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
    Engine.Compute_Julia(4.0f, 100, 50, 0.0f, 0.0f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(No_Buffers(Engine));
    EXPECT_EQ(Soft_Control::Host_To_Device_Copies(), Uploads);
    EXPECT_EQ(Launches("ApplyColorMap"), Colour_Passes);
}

TEST_F(Soft_Device_Test, LiveEnginesShareTheTimingEventsOnAnyThread)
{
    auto First = std::make_unique<Pellarion>();
    Pellarion Second;
    for (Pellarion* E : {First.get(), &Second})
        E->Compute_Init(50, 40, -2.0f, 2.0f, -2.0f, 2.0f, BONE);
    First->Compute_Julia(4.0f, 80, 50, -0.4f, 0.6f);
    Second.Compute_Julia(4.0f, 80, 50, -0.4f, 0.6f);
    EXPECT_EQ(std::memcmp(First->Host_Image, Second.Host_Image, 50 * 40 * 4), 0);
    EXPECT_EQ(Soft_Control::Live_Events(), Baseline[4] + 2);

    First.reset();
    EXPECT_EQ(Soft_Control::Live_Events(), Baseline[4] + 2) << "the survivor still needs the events";
    Second.Elapsed_Time = -1.0f;
    testing::internal::CaptureStdout();
    Second.Compute_MandelBrot(4.0f, 80, 50);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_GE(Second.Elapsed_Time, 0.0f);

    // Engines made, used and destroyed on four threads at once, while this one keeps its own.
    const std::vector<std::uint8_t> Wanted(Second.Host_Image, Second.Host_Image + 50 * 40 * 4);
    std::atomic<int> Same_Pictures{0};
    std::vector<std::thread> Threads;
    for (int t = 0; t < 4; ++t)
        Threads.emplace_back([&] {
            for (int Round = 0; Round < 5; ++Round) {
                Pellarion Engine;
                Engine.Compute_Init(50, 40, -2.0f, 2.0f, -2.0f, 2.0f, BONE);
                Engine.Compute_MandelBrot(4.0f, 80, 50);
                Same_Pictures += Engine.Host_Image && std::memcmp(Engine.Host_Image, Wanted.data(), Wanted.size()) == 0;
            }
        });
    for (std::thread& T : Threads)
        T.join();
    EXPECT_EQ(Same_Pictures, 20);
    EXPECT_EQ(Soft_Control::Live_Events(), Baseline[4] + 2);
}

TEST_F(Soft_Device_Test, IterationsAreCutIntoLaunchesOfAtMostTheGivenSize)
{
    Pellarion Engine;
    Engine.Compute_Init(1024, 64, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
    struct Case {
        int N, Per_Launch;
        std::uint64_t Launches;
    };
    for (const Case& c : {Case{120, 50, 3}, Case{100, 50, 2}, Case{30, 50, 1}, Case{0, 50, 0}, Case{100, 0, 0}}) {
        const std::uint64_t Julia = Launches("JuliaKernel"), Mandel = Launches("MandelBrotKernel");
        const std::uint64_t Setup = Launches("JuliaMandelInitialize"), Colour = Launches("ApplyColorMap");
        Engine.Compute_Julia(4.0f, c.N, c.Per_Launch, 0.0f, 0.0f);
        Engine.Compute_MandelBrot(4.0f, c.N, c.Per_Launch);
        EXPECT_EQ(Launches("JuliaKernel") - Julia, c.Launches) << c.N << " by " << c.Per_Launch;
        EXPECT_EQ(Launches("MandelBrotKernel") - Mandel, c.Launches) << c.N << " by " << c.Per_Launch;
        EXPECT_EQ(Launches("JuliaMandelInitialize") - Setup, 2u);
        EXPECT_EQ(Launches("ApplyColorMap") - Colour, 2u);
    }
    // One more column and row of blocks than the image needs, even for exact multiples of 32.
    const dim3 Grid = Soft_Control::Launches("ApplyColorMap").Last_Grid;
    EXPECT_EQ(Grid.x, 33u);
    EXPECT_EQ(Grid.y, 3u);
    EXPECT_EQ(Soft_Control::Launches("ApplyColorMap").Last_Block.x, 32u);
    Engine.Compute_Init(1000, 64, -2.0f, 2.0f, -2.0f, 2.0f, HOT);
    Engine.Compute_Julia(4.0f, 10, 50, 0.0f, 0.0f);
    EXPECT_EQ(Soft_Control::Launches("JuliaKernel").Last_Grid.x, 32u);

    // Exact above 2^24 iterations, where single precision would lose the last launch: 2^30 + 1 in
    // launches of 2^24 is 65 launches (the pixel escapes at once, so each costs one step).
    Engine.Compute_Init(1, 1, 3.0f, 3.0f, 0.0f, 0.0f, HOT);
    const std::uint64_t Before = Launches("MandelBrotKernel");
    Engine.Compute_MandelBrot(4.0f, (1 << 30) + 1, 1 << 24);
    EXPECT_EQ(Launches("MandelBrotKernel") - Before, 65u);
}

TEST_F(Soft_Device_Test, TheColourTableIsUploadedOnlyWhenTheColormapChanges)
{
    Pellarion Engine;
    struct Step {
        int Colormap;
        std::uint64_t Uploads;
    };
    for (const Step& s : {Step{0, 0}, Step{8, 0}, Step{8, 0}, Step{3, 1}, Step{3, 0}, Step{5, 1}, Step{-1, 0}, Step{5, 1}}) {
        const std::uint64_t Before = Soft_Control::Host_To_Device_Copies();
        Engine.Compute_Init(16, 16, -2.0f, 2.0f, -2.0f, 2.0f, static_cast<Colormap_t>(s.Colormap));
        EXPECT_EQ(Soft_Control::Host_To_Device_Copies() - Before, s.Uploads) << "colormap " << s.Colormap;
        EXPECT_EQ(Engine.Colormap, s.Colormap);
    }
}

TEST_F(Soft_Device_Test, TheRuntimeChecksItsArgumentsAsCudaDoes)
{
    float* Device = nullptr;
    ASSERT_EQ(cudaMalloc(&Device, 64), cudaSuccess);
    float Host[16] = {};
    EXPECT_EQ(cudaMemcpy(Host, Device, 64, cudaMemcpyHostToDevice), cudaErrorInvalidValue);
    EXPECT_EQ(cudaMemcpy(Device, Host, 128, cudaMemcpyHostToDevice), cudaErrorInvalidValue) << "past the allocation";
    EXPECT_EQ(cudaMemcpy(Device, Host, 64, cudaMemcpyHostToDevice), cudaSuccess);
    EXPECT_EQ(cudaMemcpy(Host, Device + 4, 48, cudaMemcpyDeviceToHost), cudaSuccess);
    EXPECT_EQ(cudaMemset(Host, 0, 16), cudaErrorInvalidValue);
    EXPECT_EQ(cudaFree(Host), cudaErrorInvalidValue);
    EXPECT_EQ(cudaFreeHost(Device), cudaErrorInvalidValue);
    EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidValue);
    EXPECT_EQ(cudaGetLastError(), cudaSuccess) << "reading the last error resets it";
    // The last error belongs to the thread that made it.
    EXPECT_EQ(cudaMemset(Host, 0, 16), cudaErrorInvalidValue);
    std::thread([] { EXPECT_EQ(cudaGetLastError(), cudaSuccess); }).join();
    EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidValue);
    EXPECT_EQ(cudaMemcpy(Host, Device, 16, static_cast<cudaMemcpyKind>(7)), cudaErrorInvalidMemcpyDirection);
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

    EXPECT_STREQ(cudaGetErrorString(cudaErrorInsufficientDriver),
                 "CUDA driver version is insufficient for CUDA runtime version");
    cudaDeviceProp Properties;
    ASSERT_EQ(cudaGetDeviceProperties(&Properties, 0), cudaSuccess);
    EXPECT_NE(std::string(Properties.name).find("Software"), std::string::npos);
}

TEST_F(Soft_Device_Test, RefusedLaunchConfigurationsRunNothing)
{
    std::atomic<int> Ran{0};
    std::atomic<int>* Counter = &Ran;
    auto Count_Threads = [Counter](dim3 Grid, dim3 Block) {
        Soft_Device::Launch_Kernel("Counter", Grid, Block, Soft_Device::Launch_Order::Now, [](std::atomic<int>* c) { ++*c; }, Counter);
        return cudaGetLastError();
    };
    EXPECT_EQ(Count_Threads(dim3(2, 3, 1), dim3(4, 5, 2)), cudaSuccess);
    EXPECT_EQ(Ran, 2 * 3 * 4 * 5 * 2);
    Ran = 0;
    EXPECT_EQ(Count_Threads(dim3(1, 1, 1), dim3(1025, 1, 1)), cudaErrorInvalidConfiguration);
    EXPECT_EQ(Count_Threads(dim3(1, 1, 1), dim3(64, 32, 1)), cudaErrorInvalidConfiguration);
    EXPECT_EQ(Count_Threads(dim3(0, 1, 1), dim3(32, 32, 1)), cudaErrorInvalidConfiguration);
    EXPECT_EQ(Count_Threads(dim3(1, 65536, 1), dim3(32, 32, 1)), cudaErrorInvalidConfiguration);
    EXPECT_EQ(Count_Threads(dim3(1, 1, 65536), dim3(32, 32, 1)), cudaErrorInvalidConfiguration);
    EXPECT_EQ(Ran, 0);
}

} // namespace
