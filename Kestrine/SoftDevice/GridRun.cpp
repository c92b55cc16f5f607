#include "GridRun.h"

#include <algorithm>
#include <cstdint>

#include "WorkerPool.h"

namespace Soft_Device {
namespace {

// Enough threads a take to make the pool's shared counter's cost vanish and the rows long, few enough
// to balance uneven blocks between the cores.
constexpr std::uint64_t Threads_Per_Take = 16384;
// A launch too small for that still gives every thread a few takes: one take of a whole launch would
// leave the other cores idle while one does all the work.
constexpr std::uint64_t Min_Takes_Per_Thread = 4;

} // namespace

bool Run_Grid(const std::vector<std::unique_ptr<Launch_Job>>& Jobs, dim3 Grid, dim3 Block)
{
    Worker_Pool& Pool = Worker_Pool::Instance();
    const std::uint64_t Threads_Per_Block = std::uint64_t(Block.x) * Block.y * Block.z;
    const std::uint64_t Blocks = std::uint64_t(Grid.x) * Grid.y * Grid.z;
    const std::uint64_t Balanced = Blocks / (Min_Takes_Per_Thread * Pool.Thread_Count());
    // Runs of up to Blocks_Per_Take blocks along x, never across rows of blocks.
    const unsigned Blocks_Per_Take =
        static_cast<unsigned>(std::clamp<std::uint64_t>(std::min(Threads_Per_Take / Threads_Per_Block, Balanced), 1, Grid.x));
    const unsigned Takes_Per_Row = (Grid.x + Blocks_Per_Take - 1) / Blocks_Per_Take;
    return Pool.Run(std::uint64_t(Takes_Per_Row) * Grid.y * Grid.z, [&](std::uint64_t Take) {
        const std::uint64_t Row = Take / Takes_Per_Row;
        const unsigned First_X = static_cast<unsigned>(Take % Takes_Per_Row) * Blocks_Per_Take;
        const uint3 First{First_X, static_cast<unsigned>(Row % Grid.y), static_cast<unsigned>(Row / Grid.y)};
        const unsigned Count = std::min(Blocks_Per_Take, Grid.x - First_X);
        for (const std::unique_ptr<Launch_Job>& Job : Jobs)
            Job->Run_Blocks(Block_Run{Grid, Block, First, Count});
    });
}

} // namespace Soft_Device
