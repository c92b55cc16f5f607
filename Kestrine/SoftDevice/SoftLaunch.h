// Kernel launches on the software device.
//
// A launch hands the pool a type-erased call of the kernel with its arguments; each worker takes
// blocks of the grid and runs every thread of a block in turn, with the built-ins below set as a
// GPU would set them. The kernel call is a template argument of the block runner, so the compiler
// inlines the kernel into the loop over the threads.
#pragma once

#include <cstdint>

// The kernel built-ins, one set per worker thread.
inline thread_local uint3 threadIdx;
inline thread_local uint3 blockIdx;
inline thread_local dim3 blockDim;
inline thread_local dim3 gridDim;

namespace Soft_Device {

struct Launch_Job {
    const void* Kernel_Call;
    // Runs the blocks First to First + Count - 1 of the grid, numbered x fastest, then y, then z.
    void (*Run_Blocks)(const void* Kernel_Call, dim3 Grid, dim3 Block, std::uint64_t First, std::uint64_t Count);
};

// Checks the configuration as the runtime does, runs the job on the worker pool and returns when
// every block has run. A refused configuration runs nothing and becomes the last error.
void Launch(const char* Kernel_Name, dim3 Grid, dim3 Block, const Launch_Job& Job);

template <typename Kernel_Call>
void Run_Blocks(const void* Call, dim3 Grid, dim3 Block, std::uint64_t First, std::uint64_t Count)
{
    const Kernel_Call& Kernel = *static_cast<const Kernel_Call*>(Call);
    gridDim = Grid;
    blockDim = Block;
    const std::uint64_t Grid_Plane = std::uint64_t(Grid.x) * Grid.y;
    for (std::uint64_t b = First; b < First + Count; ++b) {
        blockIdx = uint3{unsigned(b % Grid.x), unsigned(b / Grid.x % Grid.y), unsigned(b / Grid_Plane)};
        for (unsigned z = 0; z < Block.z; ++z) {
            for (unsigned y = 0; y < Block.y; ++y) {
                for (unsigned x = 0; x < Block.x; ++x) {
                    threadIdx = uint3{x, y, z};
                    Kernel();
                }
            }
        }
    }
}

// Arguments are copied at launch, as a GPU launch copies them; Kernel_Caller calls the kernel with them.
template <typename Kernel_Caller, typename... Arguments>
void Launch_Kernel(const char* Kernel_Name, dim3 Grid, dim3 Block, Kernel_Caller Caller, Arguments... Values)
{
    const auto Call = [Caller, Values...] { Caller(Values...); };
    Launch(Kernel_Name, Grid, Block, Launch_Job{&Call, &Run_Blocks<decltype(Call)>});
}

} // namespace Soft_Device
