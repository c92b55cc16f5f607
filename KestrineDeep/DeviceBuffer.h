// The deep renderer's view of the device: its status and error report, and buffers that grow.
#pragma once

#include <cuda_runtime.h>

#include <cstddef>
#include <string>

namespace Kestrine_Deep {

// Every CUDA status the renderer checks goes through Check, which keeps the first failure's text
// until Failure reports it.
class Device_Status {
public:
    bool Find(std::string& Description)
    {
        int Count = 0;
        if (!Check(cudaGetDeviceCount(&Count), "looking for a device") || Count < 1) {
            Description = Count < 1 && Error.empty() ? "no CUDA device" : Error;
            return false;
        }
        cudaDeviceProp Properties;
        if (!Check(cudaGetDeviceProperties(&Properties, 0), "reading the device's properties")) {
            Description = Error;
            return false;
        }
        Description = Properties.name;
        // A GPU takes every pixel at once to fill its multiprocessors; the software device, whose
        // "multiprocessors" are its worker threads, takes a few thousand a thread per launch, so that
        // each launch spends its time iterating rather than entering pixels.
        Launch_Width = Properties.multiProcessorCount * (Properties.major > 0 ? 1 << 20 : 4096);
        if (Properties.major > 0)
            Description += " | CC: " + std::to_string(Properties.major) + "." + std::to_string(Properties.minor);
        return true;
    }

    // The most pixels one launch should take.
    int Width() const { return Launch_Width; }

    bool Check(cudaError_t Status, const char* Doing)
    {
        if (Status == cudaSuccess)
            return true;
        if (Error.empty())
            Error = std::string(Doing) + ": " + cudaGetErrorString(Status);
        return false;
    }

    // The first failure since the last report, or What when none was recorded; clears it.
    std::string Failure(const char* What)
    {
        std::string Text = Error.empty() ? std::string(What) : Error;
        Error.clear();
        return Text;
    }

private:
    std::string Error;
    int Launch_Width = 1 << 16;
};

template <typename T>
class Device_Buffer {
public:
    Device_Buffer() = default;
    ~Device_Buffer() { Release(); }
    Device_Buffer(const Device_Buffer&) = delete;
    Device_Buffer& operator=(const Device_Buffer&) = delete;

    T* Data() const { return Pointer; }

    // Room for Count elements, keeping a larger allocation that is there already.
    bool Reserve(Device_Status& Device, std::size_t Count)
    {
        if (Count <= Capacity && Pointer)
            return true;
        Release();
        if (!Device.Check(cudaMalloc(reinterpret_cast<void**>(&Pointer), (Count ? Count : 1) * sizeof(T)), "allocating device memory")) {
            Pointer = nullptr;
            return false;
        }
        Capacity = Count;
        return true;
    }

    bool Upload(Device_Status& Device, const T* From, std::size_t Count)
    {
        return Reserve(Device, Count) &&
               (Count == 0 || Device.Check(cudaMemcpy(Pointer, From, Count * sizeof(T), cudaMemcpyHostToDevice),
                                           "copying to the device"));
    }

private:
    void Release()
    {
        if (Pointer)
            cudaFree(Pointer);
        Pointer = nullptr;
        Capacity = 0;
    }

    T* Pointer = nullptr;
    std::size_t Capacity = 0;
};

} // namespace Kestrine_Deep
