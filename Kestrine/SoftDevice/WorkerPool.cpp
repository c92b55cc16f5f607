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

bool Worker_Pool::Run(std::uint64_t Parts, const std::function<void(std::uint64_t Part)>& Run_Part)
{
    std::lock_guard<std::mutex> Serial(Run_Mutex);
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        Work = &Run_Part;
        Part_Count = Parts;
        Next_Part.store(0, std::memory_order_relaxed);
        Failed.store(false, std::memory_order_relaxed);
        Workers_Busy = static_cast<unsigned>(Workers.size());
        ++Generation;
    }
    Work_Posted.notify_all();

    {
        const Flush_Denormals Flush;
        Take_Parts();
    }

    // Whatever happened on this thread, no worker may still hold the work when this returns.
    std::unique_lock<std::mutex> Lock(Mutex);
    Work_Finished.wait(Lock, [this] { return Workers_Busy == 0; });
    Work = nullptr;
    return !Failed.load(std::memory_order_relaxed);
}

// A part that throws ends the run as a failure instead of ending the process or leaving the pool
// waiting.
void Worker_Pool::Take_Parts() noexcept
{
    for (;;) {
        const std::uint64_t Part = Next_Part.fetch_add(1, std::memory_order_relaxed);
        if (Part >= Part_Count)
            return;
        try {
            (*Work)(Part);
        } catch (...) {
            Failed.store(true, std::memory_order_relaxed);
            Next_Part.store(Part_Count, std::memory_order_relaxed);
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
        Take_Parts();
        {
            std::lock_guard<std::mutex> Lock(Mutex);
            if (--Workers_Busy == 0)
                Work_Finished.notify_one();
        }
    }
}

} // namespace Soft_Device
