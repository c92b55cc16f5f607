// The software device's workers: one thread per core, created once, shared by every launch.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "LaunchJob.h"

namespace Soft_Device {

class Worker_Pool {
public:
    static Worker_Pool& Instance();

    // Threads that run blocks, the calling thread included.
    unsigned Thread_Count() const { return static_cast<unsigned>(Workers.size()) + 1; }

    // Runs every block of the grid for each job, the jobs in order for each block, and returns when
    // all have run (true) or one failed (false). The caller works too, so a launch costs one wake-up
    // of the others, not a hand-over and a wait.
    bool Run(const std::vector<std::unique_ptr<Launch_Job>>& Jobs, dim3 Grid, dim3 Block);

    ~Worker_Pool();
    Worker_Pool(const Worker_Pool&) = delete;
    Worker_Pool& operator=(const Worker_Pool&) = delete;

private:
    Worker_Pool();
    void Worker_Loop();
    void Take_Blocks() noexcept;

    std::vector<std::thread> Workers;
    std::mutex Launch_Mutex; // one launch at a time, whoever calls

    std::mutex Mutex;
    std::condition_variable Work_Posted;
    std::condition_variable Work_Finished;
    std::uint64_t Generation = 0;
    unsigned Workers_Busy = 0;
    bool Stopping = false;

    // The launch in progress.
    const std::vector<std::unique_ptr<Launch_Job>>* Jobs = nullptr;
    dim3 Grid;
    dim3 Block;
    // The grid is taken in runs of up to Blocks_Per_Take blocks along x, never across rows of blocks.
    unsigned Blocks_Per_Take = 1;
    unsigned Takes_Per_Row = 1;
    std::uint64_t Take_Total = 0;
    std::atomic<std::uint64_t> Next_Take{0};
    std::atomic<bool> Failed{false};
};

} // namespace Soft_Device
