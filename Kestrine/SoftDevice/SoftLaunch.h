// Kernel launches on the software device.
//
// A launch hands the pool a type-erased call of the kernel with its arguments; each worker takes
// blocks of the grid and runs every thread of a block in turn, with the built-ins below set as a
// GPU would set them. The kernel call is a template argument of the block runner, so the compiler
// inlines the kernel into the loop over the threads.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

// The kernel built-ins, one set per worker thread. The library is loaded with the program, so its
// thread-local storage can sit in the static block and be reached without a call.
#define SOFT_BUILTIN inline thread_local __attribute__((tls_model("initial-exec")))
SOFT_BUILTIN uint3 threadIdx;
SOFT_BUILTIN uint3 blockIdx;
SOFT_BUILTIN dim3 blockDim;
SOFT_BUILTIN dim3 gridDim;

namespace Soft_Device {
// How many threads of its row, from its own on, the last kernel call served. A call that works for a
// whole run of lanes (SoftLanes.h) says so here, and the block runner skips the threads whose calls
// would find their pixels taken and do nothing.
SOFT_BUILTIN unsigned Threads_Served = 1;
} // namespace Soft_Device
#undef SOFT_BUILTIN

namespace Soft_Device {

// How a launch may be run. A GPU runs the launches of a stream one after the other, but a launch only
// has to be finished before anything can see its memory: the next copy, event or other runtime call.
enum class Launch_Order {
    // Every block of this launch runs before the call returns.
    Now,
    // The kernel's every thread reads and writes only its own pixel's elements. Consecutive launches
    // of such kernels over one grid may wait, and then run block by block: each block runs all of
    // them in order while its pixels are in the core's cache. Every pixel sees the same operations in
    // the same order, so memory ends up exactly as after running them one by one.
    Pixelwise,
};

// A launch, with its kernel and arguments, as the worker pool runs it.
class Launch_Job {
public:
    virtual ~Launch_Job() = default;
    // Runs the blocks First.x to First.x + Count - 1 of one row of blocks of the grid.
    virtual void Run_Blocks(dim3 Grid, dim3 Block, uint3 First, unsigned Count) const = 0;
};

// Checks the configuration as the runtime does and runs the job on the worker pool, at once or, for a
// pixelwise launch, at the next call that could observe its work. A refused configuration runs
// nothing and becomes the last error, as does a null job (its allocation failed: "out of memory").
// Never throws.
void Launch(const char* Kernel_Name, dim3 Grid, dim3 Block, Launch_Order Order, std::unique_ptr<Launch_Job> Job) noexcept;

// Flattened: the kernel is inlined into the loop over the threads, where it is defined in the same
// file, so a thread costs no call. The threads of a block may run in any order; here the blocks of
// a run go through their rows together, so that each pass reads and writes a long contiguous stretch
// of an image instead of 32 short ones, as a CPU's caches and prefetchers want.
template <typename Kernel_Call>
__attribute__((flatten)) void Run_Blocks(const Kernel_Call& Kernel, dim3 Grid, dim3 Block, uint3 First, unsigned Count)
{
    gridDim = Grid;
    blockDim = Block;
    for (unsigned z = 0; z < Block.z; ++z) {
        for (unsigned y = 0; y < Block.y; ++y) {
            for (unsigned b = 0; b < Count; ++b) {
                blockIdx = uint3{First.x + b, First.y, First.z};
                for (unsigned x = 0; x < Block.x; x += Threads_Served) {
                    threadIdx = uint3{x, y, z};
                    Threads_Served = 1;
                    Kernel();
                }
            }
        }
    }
}

template <typename Kernel_Call>
class Kernel_Job final : public Launch_Job {
public:
    explicit Kernel_Job(Kernel_Call Call) : Kernel(Call) {}
    void Run_Blocks(dim3 Grid, dim3 Block, uint3 First, unsigned Count) const override
    {
        Soft_Device::Run_Blocks(Kernel, Grid, Block, First, Count);
    }

private:
    Kernel_Call Kernel;
};

// Arguments are copied at launch, as a GPU launch copies them; Kernel_Caller calls the kernel with them.
template <typename Kernel_Caller, typename... Arguments>
void Launch_Kernel(const char* Kernel_Name, dim3 Grid, dim3 Block, Launch_Order Order, Kernel_Caller Caller,
                   Arguments... Values)
{
    const auto Call = [Caller, Values...] { Caller(Values...); };
    Launch(Kernel_Name, Grid, Block, Order,
           std::unique_ptr<Launch_Job>(new (std::nothrow) Kernel_Job<decltype(Call)>(Call)));
}

} // namespace Soft_Device
