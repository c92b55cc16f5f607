// Kernel launches on the software device.
//
// A launch hands the pool a type-erased call of the kernel with its arguments; each worker takes
// blocks of the grid and runs every thread of a block in turn, with the built-ins below set as a
// GPU would set them.
//
// Two kinds of kernel are launched. A scalar kernel serves one thread a call, and its call is
// inlined into the loop over the threads here. A lane kernel (PixelLanes) serves a whole run of a
// block row's threads a call; it is compiled once per lane set (LaneSets.h) and reaches the launch as
// a block runner of the set chosen for this CPU, which steps over the threads run by run.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <tuple>

#include "LaunchJob.h"

// The kernel built-ins, one set per worker thread. The library is loaded with the program, so its
// thread-local storage can sit in the static block and be reached without a call.
#define SOFT_BUILTIN inline thread_local __attribute__((tls_model("initial-exec")))
SOFT_BUILTIN uint3 threadIdx;
SOFT_BUILTIN uint3 blockIdx;
SOFT_BUILTIN dim3 blockDim;
SOFT_BUILTIN dim3 gridDim;
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

// Checks the configuration as the runtime does and runs the job on the worker pool, at once or, for a
// pixelwise launch, at the next call that could observe its work. A refused configuration runs
// nothing and becomes the last error, as does a null job (its allocation failed: "out of memory").
// Never throws.
void Launch(const char* Kernel_Name, dim3 Grid, dim3 Block, Launch_Order Order, std::unique_ptr<Launch_Job> Job) noexcept;

// Flattened: the kernel is inlined into the loop over the threads, where it is defined in the same
// file, so a thread costs no call. The threads of a block may run in any order; here the blocks of
// a run go through their rows together, so that each pass reads and writes a long contiguous stretch
// of an image instead of many short ones, as a CPU's caches and prefetchers want. Threads_Per_Call
// threads of a row are served by one call.
template <unsigned Threads_Per_Call, typename Kernel_Call>
__attribute__((flatten)) void Run_Threads(const Kernel_Call& Kernel, const Block_Run& Run)
{
    gridDim = Run.Grid;
    blockDim = Run.Block;
    for (unsigned z = 0; z < Run.Block.z; ++z) {
        for (unsigned y = 0; y < Run.Block.y; ++y) {
            for (unsigned b = 0; b < Run.Count; ++b) {
                blockIdx = uint3{Run.First.x + b, Run.First.y, Run.First.z};
                for (unsigned x = 0; x < Run.Block.x; x += Threads_Per_Call) {
                    threadIdx = uint3{x, y, z};
                    Kernel();
                }
            }
        }
    }
}

// A scalar kernel's launch: the kernel call with its arguments.
template <typename Kernel_Call>
class Kernel_Job final : public Launch_Job {
public:
    explicit Kernel_Job(Kernel_Call Call) : Kernel(Call) {}
    void Run_Blocks(const Block_Run& Run) const override { Run_Threads<1>(Kernel, Run); }

private:
    Kernel_Call Kernel;
};

// Arguments are copied at launch, as a GPU launch copies them; Kernel_Caller calls the kernel with them.
template <typename Kernel_Caller, typename... Arguments>
void Launch_Kernel(const char* Kernel_Name, dim3 Grid, dim3 Block, Kernel_Caller Caller, Arguments... Values)
{
    const auto Call = [Caller, Values...] { Caller(Values...); };
    Launch(Kernel_Name, Grid, Block, Launch_Order::Now,
           std::unique_ptr<Launch_Job>(new (std::nothrow) Kernel_Job<decltype(Call)>(Call)));
}

// A lane kernel compiled for one lane set: runs the kernel over a part of the grid.
template <typename... Arguments>
using Block_Runner = void (*)(const Block_Run&, Arguments...);

// The block runner type for a kernel of this signature.
template <typename Signature>
struct Runner_Of;
template <typename... Arguments>
struct Runner_Of<void(Arguments...)> {
    using Type = Block_Runner<Arguments...>;
};

template <typename... Arguments>
class Runner_Job final : public Launch_Job {
public:
    Runner_Job(Block_Runner<Arguments...> Kernel_Runner, Arguments... Values) : Runner(Kernel_Runner), Values(Values...)
    {
    }
    void Run_Blocks(const Block_Run& Run) const override
    {
        std::apply([&](const Arguments&... a) { Runner(Run, a...); }, Values);
    }

private:
    Block_Runner<Arguments...> Runner;
    std::tuple<Arguments...> Values;
};

template <typename T>
struct Taken_As {
    using Type = T;
};

// A lane kernel's launch: the runner of the active lane set with the arguments, converted to the
// kernel's parameter types as a call of the kernel would convert them.
template <typename... Arguments>
void Launch_Lanes(const char* Kernel_Name, dim3 Grid, dim3 Block, Launch_Order Order, Block_Runner<Arguments...> Runner,
                  typename Taken_As<Arguments>::Type... Values)
{
    Launch(Kernel_Name, Grid, Block, Order,
           std::unique_ptr<Launch_Job>(new (std::nothrow) Runner_Job<Arguments...>(Runner, Values...)));
}

} // namespace Soft_Device
