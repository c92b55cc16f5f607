// Kernels launched directly, the way the engine launches them, through the CUDA runtime API: on the
// software device here, on the GPU where the GPU check builds this file with nvcc. The array kernels
// have no other way in; the escape-time kernels are launched here with block shapes the engine
// never uses.
#include <Kernels.cuh>

#include "Reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// Whole buffers of complex values compare at once (and neither device's float2 has an equality).
bool operator==(float2 a, float2 b)
{
    return a.x == b.x && a.y == b.y;
}

namespace {

// A device buffer filled from a host vector, read back whole.
template <typename T>
class Device_Buffer {
public:
    explicit Device_Buffer(std::vector<T> Values) : Host(std::move(Values))
    {
        EXPECT_EQ(cudaMalloc(&Pointer, Host.size() * sizeof(T)), cudaSuccess);
        EXPECT_EQ(cudaMemcpy(Pointer, Host.data(), Host.size() * sizeof(T), cudaMemcpyHostToDevice), cudaSuccess);
    }
    Device_Buffer(std::size_t Count, T Fill) : Device_Buffer(std::vector<T>(Count, Fill)) {}
    ~Device_Buffer() { cudaFree(Pointer); }
    Device_Buffer(const Device_Buffer&) = delete;
    Device_Buffer& operator=(const Device_Buffer&) = delete;

    T* Get() const { return Pointer; }
    std::vector<T> Read()
    {
        EXPECT_EQ(cudaMemcpy(Host.data(), Pointer, Host.size() * sizeof(T), cudaMemcpyDeviceToHost), cudaSuccess);
        return Host;
    }

private:
    std::vector<T> Host;
    T* Pointer = nullptr;
};

// Blocks that do not divide the image, and one spare row and column of them: threads outside the
// image must write nothing.
const dim3 Block(4, 3, 1);
dim3 Grid_Over(int W, int H)
{
    return dim3(W / 4 + 2, H / 3 + 2, 1);
}

// Every test starts here: without a device there is nothing to launch on.
class Direct_Launch : public ::testing::Test {
protected:
    void SetUp() override
    {
        int Devices = 0;
        if (cudaGetDeviceCount(&Devices) != cudaSuccess || Devices < 1) {
            cudaGetLastError();
            GTEST_SKIP() << "no device";
        }
    }
};

void Finish()
{
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
    EXPECT_EQ(cudaDeviceSynchronize(), cudaSuccess);
}

constexpr float Sentinel = -12345.0f;
const float2 Complex_Sentinel = make_float2(Sentinel, Sentinel);

// Every kernel's output buffer has one element more than its image: it must stay untouched.
TEST_F(Direct_Launch, ConversionsAndTheComplexProduct)
{
    const int W = 5, H = 3;
    const std::vector<int> Counts = {0, 1, -7, 16777217, 2147483647, 42, -1, 3, 5, 8, 13, 21, 34, 55, 89};
    Device_Buffer<int> Ints(Counts);
    Device_Buffer<float> Floats(W * H + 1, Sentinel);
    Device_Buffer<float2> Complex(W * H + 1, Complex_Sentinel);
    LAUNCH_KERNEL(IntToFloat, Grid_Over(W, H), Block, Ints.Get(), Floats.Get(), W, H);
    LAUNCH_KERNEL(IntToComplex, Grid_Over(W, H), Block, Ints.Get(), Complex.Get(), W, H);
    Finish();
    std::vector<float> Wanted_Floats;
    std::vector<float2> Wanted_Complex;
    for (const int Count : Counts) // rounded to nearest: 16777217 gives 16777216
        Wanted_Floats.push_back(float(Count)), Wanted_Complex.push_back(make_float2(float(Count), 0.0f));
    Wanted_Floats.push_back(Sentinel), Wanted_Complex.push_back(Complex_Sentinel);
    EXPECT_EQ(Floats.Read(), Wanted_Floats);
    EXPECT_EQ(Complex.Read(), Wanted_Complex);

    // B := A * B, A only read; then the real parts of B. Every product here is exact.
    const std::vector<float2> A = {{0, 1}, {1.5f, -2}, {3, 0.25f}, {-1, -1}}, B = {{0, 1}, {0.5f, 4}, {-2, 8}, {-1, 1}};
    Device_Buffer<float2> Device_A(A), Device_B(B);
    Device_Buffer<float> Reals(4, Sentinel);
    LAUNCH_KERNEL(ComplexMultiply, Grid_Over(2, 2), Block, Device_A.Get(), Device_B.Get(), 2, 2);
    LAUNCH_KERNEL(ComplexToReal, Grid_Over(2, 2), Block, Device_B.Get(), Reals.Get(), 2, 2);
    Finish();
    std::vector<float2> Product;
    std::vector<float> Real_Parts;
    for (int i = 0; i < 4; ++i) {
        Product.push_back(make_float2(A[i].x * B[i].x - A[i].y * B[i].y, A[i].x * B[i].y + A[i].y * B[i].x));
        Real_Parts.push_back(Product[i].x);
    }
    EXPECT_EQ(Device_B.Read(), Product);
    EXPECT_EQ(Reals.Read(), Real_Parts);
    EXPECT_EQ(Device_A.Read(), A);
}

// PHASE is the one-argument arctangent: (-1, 1) gives -pi/4, not 3 pi/4; (0, 1) pi/2; (0, 0) NaN.
// Modes the enumeration does not know write nothing. Both forms, complex and split, agree.
TEST_F(Direct_Launch, ComplexToCustomInEveryMode)
{
    const std::vector<float2> Values = {{-1, 1}, {0, 1}, {0, 0}, {3, -4}, {-2, -0.5f}, {1e-3f, 7}};
    std::vector<float> Real_Parts, Imag_Parts;
    for (const float2& v : Values)
        Real_Parts.push_back(v.x), Imag_Parts.push_back(v.y);
    Device_Buffer<float2> In(Values);
    Device_Buffer<float> In_Real(Real_Parts), In_Imag(Imag_Parts);
    for (const int Mode : {0, 1, 2, 3, 4, -1}) {
        Device_Buffer<float> Out(6, Sentinel), Split_Out(6, Sentinel);
        LAUNCH_KERNEL(ComplexToCustom, Grid_Over(3, 2), Block, In.Get(), Out.Get(), ComplexOutput(Mode), 3, 2);
        LAUNCH_KERNEL(ComplexToCustom, Grid_Over(3, 2), Block, In_Real.Get(), In_Imag.Get(), Split_Out.Get(),
                      ComplexOutput(Mode), 3, 2);
        Finish();
        const std::vector<float> Got = Out.Read();
        for (int i = 0; i < 6; ++i) {
            const double x = Values[i].x, y = Values[i].y;
            const double Wanted = Mode == 0 ? x : Mode == 1 ? y : Mode == 2 ? std::hypot(x, y) : Mode == 3 ? std::atan(y / x)
                                                                                                         : Sentinel;
            const bool Near = std::fabs(Got[i] - Wanted) <= 2e-6 * std::fabs(Wanted) + 1e-7;
            EXPECT_TRUE(std::isnan(Wanted) ? std::isnan(Got[i]) : Near) << "mode " << Mode << ", " << i << ": " << Got[i];
        }
        EXPECT_EQ(std::memcmp(Split_Out.Read().data(), Got.data(), sizeof(float) * 6), 0) << "mode " << Mode; // NaN too
    }
}

// Row-major to column-major and back, on an image that is not square.
TEST_F(Direct_Launch, TransposesOfANonSquareImage)
{
    const int W = 5, H = 3;
    std::vector<float> Row_Major(W * H);
    for (int i = 0; i < W * H; ++i)
        Row_Major[i] = float(i);
    Device_Buffer<float> In(Row_Major), Columns(W * H + 1, Sentinel), Back(W * H + 1, Sentinel);
    LAUNCH_KERNEL(Row2Col, Grid_Over(W, H), Block, In.Get(), Columns.Get(), W, H);
    LAUNCH_KERNEL(Col2Row, Grid_Over(W, H), Block, Columns.Get(), Back.Get(), W, H);
    Finish();
    std::vector<float> Wanted_Columns(W * H + 1, Sentinel);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            Wanted_Columns[x * H + y] = Row_Major[y * W + x];
    EXPECT_EQ(Columns.Read(), Wanted_Columns);
    Row_Major.push_back(Sentinel);
    EXPECT_EQ(Back.Read(), Row_Major);
}

// A 4 x 2 real image deployed into the centre of a complex one 8 wide and 5 high (offsets
// floor((4 + 0) / 2) = 2 and floor((2 + 1) / 2) = 1), the rest untouched; then cut out again, from the
// complex image and from its real parts.
TEST_F(Direct_Launch, DeployPlacesInTheCentreAndCropCutsItOut)
{
    const int W = 4, H = 2, Out_W = 8, Out_H = 5;
    const std::vector<float> Image = {1, 2, 3, 4, 5, 6, 7, 8};
    Device_Buffer<float> In(Image);
    Device_Buffer<float2> Deployed(Out_W * Out_H, Complex_Sentinel);
    LAUNCH_KERNEL(DeployKernel, Grid_Over(W, H), Block, In.Get(), Deployed.Get(), 0, 1, W, H);
    Finish();
    std::vector<float2> Wanted_Wide(Out_W * Out_H, Complex_Sentinel), Wanted_Cut;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            Wanted_Wide[(y + 1) * Out_W + x + 2] = make_float2(Image[y * W + x], 0.0f);
    EXPECT_EQ(Deployed.Read(), Wanted_Wide);
    std::vector<float> Real_Wide, Wanted = Image;
    for (const float2& v : Wanted_Wide)
        Real_Wide.push_back(v.x);
    Device_Buffer<float2> Cropped(W * H + 1, Complex_Sentinel);
    Device_Buffer<float> Real_In(Real_Wide), Real_Cropped(W * H + 1, Sentinel);
    LAUNCH_KERNEL(CropImage, Grid_Over(Out_W, Out_H), Block, Deployed.Get(), Cropped.Get(), W, H, 2, 1);
    LAUNCH_KERNEL(CropImage, Grid_Over(Out_W, Out_H), Block, Real_In.Get(), Real_Cropped.Get(), W, H, 2, 1);
    Finish();
    for (const float v : Image)
        Wanted_Cut.push_back(make_float2(v, 0.0f));
    Wanted.push_back(Sentinel), Wanted_Cut.push_back(Complex_Sentinel);
    EXPECT_EQ(Cropped.Read(), Wanted_Cut);
    EXPECT_EQ(Real_Cropped.Read(), Wanted);
}

// Runs ShiftRows2D (or ShiftCols2D) over a W x H image, element y * W + x holding the value 10 y + x (or,
// for columns, 10 x + y) in its real part; the real parts of the result, where the element after the
// image must stay untouched.
std::vector<int> Shifted(bool Columns, int W, int H, int Shift, int Direction)
{
    std::vector<float2> Image;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            Image.push_back(make_float2(float(Columns ? 10 * x + y : 10 * y + x), float(-y)));
    Device_Buffer<float2> In(Image), Out(W * H + 1, Complex_Sentinel);
    if (Columns)
        LAUNCH_KERNEL(ShiftCols2D, Grid_Over(W, H), Block, In.Get(), Out.Get(), W, H, 99, Shift, Direction);
    else
        LAUNCH_KERNEL(ShiftRows2D, Grid_Over(W, H), Block, In.Get(), Out.Get(), W, H, Shift, 99, Direction);
    Finish();
    const auto Result = Out.Read();
    EXPECT_EQ(Result.back(), Complex_Sentinel);
    std::vector<int> Values;
    for (int i = 0; i < W * H; ++i)
        Values.push_back(int(Result[i].x));
    return Values;
}

// With ceil(L/2) and direction 1 element 0 moves to the middle of its row (or column), with floor(L/2)
// and another direction it moves back; rows of two, and columns, each on their own.
TEST_F(Direct_Launch, ShiftsCentreAndUncentreEvenAndOddRowsAndColumns)
{
    struct Case {
        bool Columns;
        int W, H, Shift, Direction;
        std::vector<int> Values;
    };
    for (const Case& c : {Case{false, 5, 1, 3, 1, {3, 4, 0, 1, 2}}, Case{false, 5, 1, 2, 0, {2, 3, 4, 0, 1}},
                          Case{false, 4, 1, 2, 1, {2, 3, 0, 1}}, Case{false, 4, 1, 2, 0, {2, 3, 0, 1}},
                          Case{false, 5, 2, 3, 1, {3, 4, 0, 1, 2, 13, 14, 10, 11, 12}},
                          Case{true, 2, 5, 3, 1, {3, 13, 4, 14, 0, 10, 1, 11, 2, 12}},
                          Case{true, 2, 5, 2, 0, {2, 12, 3, 13, 4, 14, 0, 10, 1, 11}}, Case{true, 1, 4, 2, 1, {2, 3, 0, 1}}})
        EXPECT_EQ(Shifted(c.Columns, c.W, c.H, c.Shift, c.Direction), c.Values)
            << (c.Columns ? "columns " : "rows ") << c.W << " x " << c.H << " by " << c.Shift;
    // An undefined shift writes nothing outside its rows.
    Shifted(false, 5, 1, 0, 1);
}

// Orbits that fall into exact cycles inside the set, at the boundary and outside: after launches of
// every size (launches of 1 step, odd sizes, one long launch) in blocks of shapes the engine never
// uses, every pixel's count and last z are the plain loop's, bit for bit, and the grid set-up gives
// the points it gives in the engine's blocks. The model rounds its multiply-adds as one of the two ways a device
// may (fused or separately); the whole picture must be that one's. The points are computed here, so
// that a GPU's division in the grid set-up plays no part; its square root in the Julia test may still
// move pixels whose candidates come that close to the threshold (Gpu_May_Differ), and only those.
TEST_F(Direct_Launch, OrbitsInCyclesEndWhereThePlainLoopEnds)
{
    const int W = 61, H = 23, N = 700;
    struct Case {
        bool Mandelbrot;
        Reference::Window View;
        Reference::Point C;
    };
    const Case Cases[] = {
        {true, {-0.3f, -0.1f, -0.1f, 0.1f}, {}},           // fixed points and 2-cycles of rounding
        {true, {-1.1f, -0.9f, -0.1f, 0.12f}, {}},          // the period-2 bulb
        {true, {-0.2f, -0.05f, 0.68f, 0.8f}, {}},          // the period-3 bulb and its edge
        {true, {-0.8f, -0.7f, 0.05f, 0.2f}, {}},           // all boundary
        {false, {-1.4f, 1.3f, -1.1f, 1.0f}, {-0.123f, 0.745f}}, // a filled Julia set with interior
        {false, {-1.7f, 1.9f, -1.1f, 1.4f}, {-0.4001f, 0.6f}},  // none
    };
    for (const Case& c : Cases) {
        const auto Fused = Reference::Orbit_Ends(c.Mandelbrot, c.View, W, H, c.C, 4.0f, N, Reference::Rounding::Fused);
        const auto Separate =
            Reference::Orbit_Ends(c.Mandelbrot, c.View, W, H, c.C, 4.0f, N, Reference::Rounding::Separate);
#if defined(__CUDACC__)
        const std::vector<bool> Excused = Reference::Gpu_May_Differ(c.Mandelbrot, c.View, W, H, c.C, 4.0f, N, 3);
#else
        const std::vector<bool> Excused(W * H, false);
#endif
        std::vector<float2> Points;
        // A Julia orbit after no steps is its pixel's point, which a Mandelbrot orbit adds at each step.
        for (const auto& End : Reference::Orbit_Ends(false, c.View, W, H, c.C, 4.0f, 0, Reference::Rounding::Fused))
            Points.push_back(make_float2(End.Z.Real, End.Z.Imag));
        const auto Set_Up = [&](dim3 Shape, dim3 Cover) {
            Device_Buffer<float2> Grid(W * H, Complex_Sentinel);
            LAUNCH_PIXELWISE_KERNEL(JuliaMandelInitialize, Cover, Shape, Grid.Get(), c.View.X_Min, c.View.X_Max,
                                    c.View.Y_Min, c.View.Y_Max, W, H);
            Finish();
            return Grid.Read();
        };
        const std::vector<float2> Engine_Grid = Set_Up(dim3(32, 32, 1), dim3(W / 32 + 1, H / 32 + 1, 1));
        for (const auto& [Per_Launch, Shape] : std::initializer_list<std::pair<int, dim3>>{
                 {50, dim3(32, 32, 1)}, {1, dim3(20, 3, 1)}, {37, dim3(48, 5, 1)}, {256, dim3(33, 2, 1)},
                 {100, dim3(64, 16, 1)}, {N, dim3(1, 1, 1)}}) {
            Device_Buffer<float2> Grid(Points);
            Device_Buffer<int> Iterations(W * H, 0);
            Device_Buffer<float> Z_Real(W * H, 0.0f), Z_Imag(W * H, 0.0f);
            // A spare column and row of blocks: threads outside the image must write nothing.
            const dim3 Cover((W + Shape.x - 1) / Shape.x + 1, H / Shape.y + 1, 1);
            EXPECT_TRUE(Set_Up(Shape, Cover) == Engine_Grid) << "block " << Shape.x << " x " << Shape.y;
            for (int Done = 0; Done < N; Done += Per_Launch) {
                const int Steps = std::min(Per_Launch, N - Done);
                if (c.Mandelbrot)
                    LAUNCH_PIXELWISE_KERNEL(MandelBrotKernel, Cover, Shape, Grid.Get(), Z_Real.Get(), Z_Imag.Get(),
                                            Iterations.Get(), 4.0f, Steps, W, H);
                else
                    LAUNCH_PIXELWISE_KERNEL(JuliaKernel, Cover, Shape, Grid.Get(), make_float2(c.C.Real, c.C.Imag),
                                            Iterations.Get(), 4.0f, Steps, W, H);
            }
            Finish();
            const std::vector<int> Counts = Iterations.Read();
            const std::vector<float2> Ends = Grid.Read();
            const std::vector<float> Reals = Z_Real.Read(), Imags = Z_Imag.Read();
            const auto Same_As = [&](const std::vector<Reference::Orbit_End>& Model) {
                int Differ = 0;
                for (std::size_t i = 0; i < Model.size(); ++i) {
                    const float2 Z = c.Mandelbrot ? make_float2(Reals[i], Imags[i]) : Ends[i];
                    Differ += !Excused[i] && (Counts[i] != Model[i].Count || std::memcmp(&Z.x, &Model[i].Z.Real, 4) != 0 ||
                                              std::memcmp(&Z.y, &Model[i].Z.Imag, 4) != 0);
                }
                return Differ;
            };
            EXPECT_EQ(std::min(Same_As(Fused), Same_As(Separate)), 0)
                << (c.Mandelbrot ? "Mandelbrot from " : "Julia from ") << c.View.X_Min << ", " << Per_Launch
                << " steps a launch in blocks of " << Shape.x << " x " << Shape.y;
        }
    }
}

} // namespace
