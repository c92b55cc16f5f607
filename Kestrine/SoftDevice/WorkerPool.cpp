#include "WorkerPool.h"

#include <algorithm>
#include <exception>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace Soft_Device {
namespace {

// GPU fast-math flushes denormals to zero; a CPU does it with a control bit of its floating-point
// unit: FTZ and DAZ in the MXCSR on x86, FZ in the FPCR on 64-bit ARM. Elsewhere denormals stay,
// and pictures may differ from a GPU's on pixels whose orbits pass through them.
class Flush_Denormals {
public:
    Flush_Denormals()
    {
#if defined(__SSE__)
        Saved = _mm_getcsr();
        _mm_setcsr(Saved | 0x8040u);
#elif defined(__aarch64__)
        Saved = __builtin_aarch64_get_fpcr();
        __builtin_aarch64_set_fpcr(Saved | (1u << 24));
#endif
    }
    ~Flush_Denormals()
    {
#if defined(__SSE__)
        _mm_setcsr(Saved);
#elif defined(__aarch64__)
        __builtin_aarch64_set_fpcr(Saved);
#endif
    }
    Flush_Denormals(const Flush_Denormals&) = delete;
    Flush_Denormals& operator=(const Flush_Denormals&) = delete;

private:
    unsigned Saved = 0;
};

// Enough threads a take to make the shared counter's cost vanish and the rows long, few enough to
// balance uneven blocks between the cores.
constexpr std::uint64_t Threads_Per_Take = 16384;
// A launch too small for that still gives every thread a few takes: one take of a whole launch would
// leave the other cores idle while one does all the work.
constexpr std::uint64_t Min_Takes_Per_Thread = 4;

} // namespace

Worker_Pool& Worker_Pool::Instance()
{
    static Worker_Pool Pool;
    return Pool;
}

Worker_Pool::Worker_Pool()
{
    const unsigned Cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 1; i < Cores; ++i) {
        try {
            Workers.emplace_back([this] { Worker_Loop(); });
        } catch (const std::exception&) {
            break; // fewer workers (none at worst: the calling thread runs every block), same results
        }
    }
}

Worker_Pool::~Worker_Pool()
{
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        Stopping = true;
    }
    Work_Posted.notify_all();
    for (std::thread& Worker : Workers)
        Worker.join();
}

bool Worker_Pool::Run(const std::vector<std::unique_ptr<Launch_Job>>& Launch_Jobs, dim3 Launch_Grid, dim3 Launch_Block)
{
    std::lock_guard<std::mutex> Serial(Launch_Mutex);
    const std::uint64_t Threads_Per_Block = std::uint64_t(Launch_Block.x) * Launch_Block.y * Launch_Block.z;
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        Jobs = &Launch_Jobs;
        Grid = Launch_Grid;
        Block = Launch_Block;
        const std::uint64_t Blocks = std::uint64_t(Launch_Grid.x) * Launch_Grid.y * Launch_Grid.z;
        const std::uint64_t Balanced = Blocks / (Min_Takes_Per_Thread * Thread_Count());
        Blocks_Per_Take = static_cast<unsigned>(
            std::clamp<std::uint64_t>(std::min(Threads_Per_Take / Threads_Per_Block, Balanced), 1, Launch_Grid.x));
        Takes_Per_Row = (Launch_Grid.x + Blocks_Per_Take - 1) / Blocks_Per_Take;
        Take_Total = std::uint64_t(Takes_Per_Row) * Launch_Grid.y * Launch_Grid.z;
        Next_Take.store(0, std::memory_order_relaxed);
        Failed.store(false, std::memory_order_relaxed);
        Workers_Busy = static_cast<unsigned>(Workers.size());
        ++Generation;
    }
    Work_Posted.notify_all();

    {
        const Flush_Denormals Flush;
        Take_Blocks();
    }

    // Whatever happened on this thread, no worker may still hold the jobs when this returns.
    std::unique_lock<std::mutex> Lock(Mutex);
    Work_Finished.wait(Lock, [this] { return Workers_Busy == 0; });
    Jobs = nullptr;
    return !Failed.load(std::memory_order_relaxed);
}

// A block that throws (no kernel of the library does) ends the launch as a failure instead of ending
// the process or leaving the pool waiting.
void Worker_Pool::Take_Blocks() noexcept
{
    for (;;) {
        const std::uint64_t Take = Next_Take.fetch_add(1, std::memory_order_relaxed);
        if (Take >= Take_Total)
            return;
        const std::uint64_t Row = Take / Takes_Per_Row;
        const unsigned First_X = static_cast<unsigned>(Take % Takes_Per_Row) * Blocks_Per_Take;
        const uint3 First{First_X, static_cast<unsigned>(Row % Grid.y), static_cast<unsigned>(Row / Grid.y)};
        const unsigned Count = std::min(Blocks_Per_Take, Grid.x - First_X);
        try {
            for (const std::unique_ptr<Launch_Job>& Job : *Jobs)
                Job->Run_Blocks(Block_Run{Grid, Block, First, Count});
        } catch (...) {
            Failed.store(true, std::memory_order_relaxed);
            Next_Take.store(Take_Total, std::memory_order_relaxed);
            return;
        }
    }
}

void Worker_Pool::Worker_Loop()
{
    const Flush_Denormals Flush;
    std::uint64_t Seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> Lock(Mutex);
            Work_Posted.wait(Lock, [&] { return Stopping || Generation != Seen; });
            if (Stopping)
                return;
            Seen = Generation;
        }
        Take_Blocks();
        {
            std::lock_guard<std::mutex> Lock(Mutex);
            if (--Workers_Busy == 0)
                Work_Finished.notify_one();
        }
    }
}

} // namespace Soft_Device
