// Kestrine: the compute engine behind Vorlane.
//
// The program allocates Pellarion itself and reads its data members directly, so the member
// order and widths below are part of the library's binary interface. Nothing here needs the
// CUDA headers: the device pointer types are spelled with a forward declaration.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#  if defined(KESTRINE_BUILDING)
#    define KESTRINE_API __declspec(dllexport)
#  else
#    define KESTRINE_API __declspec(dllimport)
#  endif
#else
#  define KESTRINE_API __attribute__((visibility("default")))
#endif

// CUDA's complex single-precision type; the library's build supplies the definition.
struct float2;

// Which colour table the engine uploads. 0 means that no table has been uploaded yet.
enum Colormap_t : std::int32_t {
    HOT = 1,
    JET = 2,
    HSV = 3,
    BONE = 4,
    MORGENSTEMNING = 5,
    SKY = 6,
    ABYSS = 7,
};

// Read by the NVIDIA driver on hybrid-graphics machines: run this process's CUDA work on the discrete GPU.
extern "C" KESTRINE_API std::int32_t NvOptimusEnablementCuda;

class KESTRINE_API Pellarion {
public:
    Pellarion();
    ~Pellarion();

    // Two owners of the same device buffers would free them twice.
    Pellarion(const Pellarion&) = delete;
    Pellarion& operator=(const Pellarion&) = delete;

    // Stores the view window, reallocates the image buffers when the size changed and uploads
    // the colour table when the colormap changed.
    void Compute_Init(int width, int height, float xMin, float xMax, float yMin, float yMax, Colormap_t colormap);

    // Renders into Host_Image; returns once the image is there.
    void Compute_Julia(float threshold, int maxIterations, int iterationsPerLaunch, float cReal, float cImag);
    void Compute_MandelBrot(float threshold, int maxIterations, int iterationsPerLaunch);

    std::int32_t Width;
    std::int32_t Height;
    Colormap_t Colormap;
    float X_Min;
    float X_Max;
    float Y_Min;
    float Y_Max;
    std::int32_t* Dev_Iterations;
    float2* Dev_Grid;
    std::uint8_t* Dev_Colormap;
    float* Dev_Z_Real;
    float* Dev_Z_Imag;
    bool GPU_Available;
    bool Buffers_Ready;
    float Elapsed_Time;
    std::int32_t Runtime_Version;
    std::int32_t Driver_Version;
    std::int32_t Device_Count;
    std::int32_t CC_Major;
    std::int32_t CC_Minor;
    char GPU_Name[256];
    std::uint8_t* Host_Image;

private:
    void Fractals_Initialize(int width, int height);
    void Fractals_CleanUp();
};

#if defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(Colormap_t) == 4);
static_assert(offsetof(Pellarion, Width) == 0);
static_assert(offsetof(Pellarion, Height) == 4);
static_assert(offsetof(Pellarion, Colormap) == 8);
static_assert(offsetof(Pellarion, X_Min) == 12);
static_assert(offsetof(Pellarion, X_Max) == 16);
static_assert(offsetof(Pellarion, Y_Min) == 20);
static_assert(offsetof(Pellarion, Y_Max) == 24);
static_assert(offsetof(Pellarion, Dev_Iterations) == 32);
static_assert(offsetof(Pellarion, Dev_Grid) == 40);
static_assert(offsetof(Pellarion, Dev_Colormap) == 48);
static_assert(offsetof(Pellarion, Dev_Z_Real) == 56);
static_assert(offsetof(Pellarion, Dev_Z_Imag) == 64);
static_assert(offsetof(Pellarion, GPU_Available) == 72);
static_assert(offsetof(Pellarion, Buffers_Ready) == 73);
static_assert(offsetof(Pellarion, Elapsed_Time) == 76);
static_assert(offsetof(Pellarion, Runtime_Version) == 80);
static_assert(offsetof(Pellarion, Driver_Version) == 84);
static_assert(offsetof(Pellarion, Device_Count) == 88);
static_assert(offsetof(Pellarion, CC_Major) == 92);
static_assert(offsetof(Pellarion, CC_Minor) == 96);
static_assert(offsetof(Pellarion, GPU_Name) == 100);
static_assert(offsetof(Pellarion, Host_Image) == 360);
static_assert(sizeof(Pellarion) == 368);
#endif
