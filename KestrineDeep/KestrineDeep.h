// KestrineDeep: Julia and Mandelbrot pictures at any depth.
//
// A view is given as text (decimal strings of any length for the centre, the width and the Julia
// constant), so that nothing is lost before the renderer reads it. One reference orbit is computed at
// the view's centre in arbitrary precision; every pixel is iterated as a small difference from it in
// hardware floating point (double, or a double with a separate exponent past double's range), with
// runs of reference steps skipped by bilinear approximation where that is exact to double rounding.
// The kernels run on the device the library was built for: a CUDA GPU or the software device.
//
// A renderer is used from one thread at a time, except Cancel and Progress, which any thread may call.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#if defined(KESTRINE_DEEP_BUILDING)
#define KESTRINE_DEEP_EXPORT __attribute__((visibility("default")))
#else
#define KESTRINE_DEEP_EXPORT
#endif

namespace Kestrine_Deep {

enum class Fractal_Set { Julia, Mandelbrot };

struct Deep_View {
    Fractal_Set Set = Fractal_Set::Mandelbrot;
    std::string Centre_Re = "0", Centre_Im = "0";
    std::string Width = "4";        // the distance from the first column's centre to the last one's
    // The distance from the first row's centre to the last one's; empty for square pixels, the rows
    // then as far apart as the columns. The two spacings may differ by a factor of at most 2^20.
    std::string Height;
    int Image_Width = 1, Image_Height = 1; // 1 to 32768 each
    std::int64_t Iterations = 100;  // 1 to 2^31 - 1
    double Threshold = 4;           // Julia: |z| < T to go on; Mandelbrot: |z|^2 < T
    std::string C_Re = "0", C_Im = "0"; // the Julia constant
};

// What a deep view is refused for: empty when it can be rendered, else a message naming the field
// ("centre (real part): ...").
KESTRINE_DEEP_EXPORT std::string Check_View(const Deep_View& View);

// The arithmetic a view's pixels are iterated in.
enum class Number_Type { Double, Extended };
KESTRINE_DEEP_EXPORT const char* Number_Type_Name(Number_Type Type); // "double", "extended"

// The type a view needs: double while the pixel spacing is well inside double's range, else the
// double mantissa with its own exponent. Double for a view that Check_View refuses.
KESTRINE_DEEP_EXPORT Number_Type Number_Type_For(const Deep_View& View);

struct Render_Options {
    bool Approximation = true; // skip runs of steps by bilinear approximation; off for a stepwise check
    // Stop a pixel once its orbit is caught by an attracting cycle: it never escapes, and counts as
    // such (Iterations) without walking there. Changes no pixel that escapes; off for the full walk.
    bool Interior_Check = true;
    // At least this many bits for the reference orbit, 0 to Most_Reference_Bits (0: what the view needs).
    // Views about one centre that all take the deepest one's Reference_Bits_For share one orbit, and
    // each gets the same picture whichever of them were rendered before it.
    long Reference_Bits = 0;
    // A reference orbit that comes back to itself exactly is stored this many steps at least (0: a
    // million, or the count), then stepped around its cycle. Pictures are the same whatever the
    // length; a small one tests just that.
    std::int64_t Cycle_Kept = 0;
};

constexpr long Most_Reference_Bits = 1L << 21;

// The bits the reference orbit of View is computed with when the options ask for no more; 0 for a view
// that Check_View refuses.
KESTRINE_DEEP_EXPORT long Reference_Bits_For(const Deep_View& View);

// Per pixel, row 0 first (the smallest imaginary part), column 0 at the left.
struct Deep_Picture {
    int Width = 0, Height = 0;
    std::int64_t Iterations = 0;
    std::vector<std::int32_t> Counts; // accepted steps; Iterations for a pixel that never escaped
    // j - log2(ln|z(j)| / ln R) for the first z(j), from the failed candidate z(k + 1) on, with
    // |z(j)| > R = 1024: k + 1 - log2(ln|z| / ln R) when the candidate is already past R, one more for
    // each further step. j alone when 64 further steps do not get there. Counts for pixels that never
    // escaped.
    std::vector<float> Smooth;
};

enum class Render_Status { Finished, Cancelled, Refused, Failed };

struct Render_Stats {
    Number_Type Type = Number_Type::Double;
    double Reference_Seconds = 0;   // computing or extending the reference orbit (0 when reused)
    double Table_Seconds = 0;       // building the approximation table
    double Render_Seconds = 0;      // the whole render, reference included
    bool Reference_Reused = false;
    std::int64_t Reference_Length = 0;
    long Precision_Bits = 0;
    double Approximation_Steps_Per_Pixel = 0; // iterations skipped by the table, per pixel
    double Perturbation_Steps_Per_Pixel = 0;  // iterations taken one by one, per pixel
    double Rebases_Per_Pixel = 0;
};

struct Render_Progress {
    std::int64_t Done = 0;  // pixels finished
    std::int64_t Total = 0; // pixels of the render in progress (or of the last one)
    // While the reference orbit is computed, before any pixel: its steps so far, and the most it may
    // take (the count, or what memory allows; it stops earlier where it escapes or settles). 0 else.
    std::int64_t Reference_Done = 0, Reference_Total = 0;
    // The pixels' steps so far (by the table and one by one), and the steps the whole picture is
    // expected to take, from a first pass over a sample grid of its pixels (0 until that pass is over).
    std::int64_t Steps_Done = 0, Steps_Expected = 0;

    bool Of_Reference() const { return Reference_Total > 0; }
    // The share done, from 0 to 1, of the stage under way: the reference orbit's, else the pixels'
    // steps against those expected (short of 1 until the last pixel, where the sample was too
    // hopeful), else, before the sample is in, the pixels finished.
    double Share() const
    {
        if (Of_Reference())
            return double(Reference_Done) / double(Reference_Total);
        if (Total <= 0)
            return 0.0;
        if (Done >= Total)
            return 1.0;
        if (Steps_Expected > 0)
            return std::min(double(Steps_Done) / double(Steps_Expected), 0.99);
        return double(Done) / double(Total);
    }
};

class KESTRINE_DEEP_EXPORT Deep_Renderer {
public:
    Deep_Renderer();
    ~Deep_Renderer();
    Deep_Renderer(const Deep_Renderer&) = delete;
    Deep_Renderer& operator=(const Deep_Renderer&) = delete;

    // Whether the device works; when it does not, Render fails and Device_Name says why.
    bool Ready() const;
    std::string Device_Name() const;

    // Renders the view into Picture. Finished: Picture holds the whole picture. Any other status
    // leaves Picture empty and Message saying why (the field for Refused, the device for Failed).
    Render_Status Render(const Deep_View& View, const Render_Options& Options, Deep_Picture& Picture,
                         std::string& Message);

    // Ends the render in progress, if any, within a few tens of milliseconds; it returns Cancelled.
    // Called while no render runs, it does nothing: a render that starts later is not affected.
    void Cancel();
    Render_Progress Progress() const;

    const Render_Stats& Last_Stats() const;

private:
    struct State;
    std::unique_ptr<State> Self;
};

enum class Colouring { Table, Cycle, Smooth };
KESTRINE_DEEP_EXPORT const char* Colouring_Name(Colouring Mode); // "table", "cycle", "smooth"
// The mode a name gives; false, Mode unchanged, for none of them.
KESTRINE_DEEP_EXPORT bool Colouring_Named(const std::string& Name, Colouring& Mode);

// RGBA, 4 bytes a pixel in the picture's order, from a 256-entry table of red, green, blue bytes.
// Table: entry min(k, 255). Cycle: entries 0, 1, ..., 255, 254, ..., 1, 0, 1, ... (period 510).
// Smooth: the smooth count times Density, cycling like Cycle, interpolated between the two
// neighbouring entries. Pixels that never escaped take entry 255 in every mode.
// Empty when it cannot colour: no table, an unknown mode, a smooth density that is not finite and
// positive, or a picture whose arrays do not match its size.
KESTRINE_DEEP_EXPORT std::vector<unsigned char> Colour_Picture(const Deep_Picture& Picture,
                                                               const unsigned char* Table, Colouring Mode,
                                                               double Density = 1.0);

} // namespace Kestrine_Deep
