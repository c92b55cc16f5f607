// The software device's workers: one thread per core, created once, shared by everything the device
// runs. The pool knows only numbered parts of some work; what a part is, its caller decides.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Soft_Device {

class Worker_Pool {
public:
    static Worker_Pool& Instance();

    // Threads that run parts, the calling thread included.
    unsigned Thread_Count() const { return static_cast<unsigned>(Workers.size()) + 1; }

    // Runs Run_Part for every part from 0 to Parts - 1, each once, in any order and on any thread,
    // and returns when all have run (true) or one threw (false, and the parts not yet taken never
    // run). The caller works too, so a run costs one wake-up of the others, not a hand-over and a
    // wait. One run at a time, whoever calls.
    bool Run(std::uint64_t Parts, const std::function<void(std::uint64_t Part)>& Run_Part);

    ~Worker_Pool();
    Worker_Pool(const Worker_Pool&) = delete;
    Worker_Pool& operator=(const Worker_Pool&) = delete;

private:
    Worker_Pool();
    void Worker_Loop();
    void Take_Parts() noexcept;

    std::vector<std::thread> Workers;
    std::mutex Run_Mutex; // one run at a time, whoever calls

    std::mutex Mutex;
    std::condition_variable Work_Posted;
    std::condition_variable Work_Finished;
    std::uint64_t Generation = 0;
    unsigned Workers_Busy = 0;
    bool Stopping = false;

    // The run in progress.
    const std::function<void(std::uint64_t)>* Work = nullptr;
    std::uint64_t Part_Count = 0;
    std::atomic<std::uint64_t> Next_Part{0};
    std::atomic<bool> Failed{false};
};

} // namespace Soft_Device
