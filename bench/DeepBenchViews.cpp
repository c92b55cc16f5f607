// The deep benchmark's views: the seahorse valley at three depths, the Misiurewicz point of Misiurewicz::Example at
// three depths, and a Julia set at its repelling fixed point; and the plain double loop.
#include "DeepBench.h"

#include "Misiurewicz.h"

#include <mpfr.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace Deep_Bench {
namespace {

using namespace Kestrine_Deep;
using Clock = std::chrono::steady_clock;

// Bits for a centre that resolves a view Width wide at Pixels columns, with a margin.
int Bits_For(double Log10_Width, int Pixels)
{
    return static_cast<int>(std::ceil((std::log10(double(Pixels)) - Log10_Width) * std::log2(10.0))) + 64;
}

// The repelling fixed point (1 + sqrt(1 - 4c)) / 2 of z^2 + c, a point of its Julia set, in decimal.
std::string Julia_Fixed_Point(const char* C_Re, const char* C_Im, int Bits, std::string& Im_Out)
{
    mpfr_t Re, Im, Modulus, T;
    mpfr_inits2(Bits + 32, Re, Im, Modulus, T, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(Re, C_Re, 10, MPFR_RNDN); // w = 1 - 4c
    mpfr_set_str(Im, C_Im, 10, MPFR_RNDN);
    mpfr_mul_si(Re, Re, -4, MPFR_RNDN);
    mpfr_add_ui(Re, Re, 1, MPFR_RNDN);
    mpfr_mul_si(Im, Im, -4, MPFR_RNDN);
    mpfr_hypot(Modulus, Re, Im, MPFR_RNDN); // sqrt w = sqrt((|w| + a) / 2) + i sign(b) sqrt((|w| - a) / 2)
    mpfr_sub(T, Modulus, Re, MPFR_RNDN);
    mpfr_add(Re, Modulus, Re, MPFR_RNDN);
    mpfr_div_2ui(Re, Re, 1, MPFR_RNDN);
    mpfr_sqrt(Re, Re, MPFR_RNDN);
    mpfr_div_2ui(T, T, 1, MPFR_RNDN);
    mpfr_sqrt(T, T, MPFR_RNDN);
    mpfr_setsign(Im, T, mpfr_signbit(Im), MPFR_RNDN);
    mpfr_add_ui(Re, Re, 1, MPFR_RNDN); // (1 + sqrt w) / 2
    mpfr_div_2ui(Re, Re, 1, MPFR_RNDN);
    mpfr_div_2ui(Im, Im, 1, MPFR_RNDN);
    const int Digits = static_cast<int>(std::ceil(Bits * std::log10(2.0))) + 2;
    char *Re_Text = nullptr, *Im_Text = nullptr;
    mpfr_asprintf(&Re_Text, "%.*Re", Digits, Re);
    mpfr_asprintf(&Im_Text, "%.*Re", Digits, Im);
    const std::string Out = Re_Text ? Re_Text : "";
    Im_Out = Im_Text ? Im_Text : "";
    mpfr_free_str(Re_Text);
    mpfr_free_str(Im_Text);
    mpfr_clears(Re, Im, Modulus, T, static_cast<mpfr_ptr>(nullptr));
    return Out;
}

Deep_View Mandelbrot_View(const std::string& Re, const std::string& Im, const char* Width, std::int64_t Iterations)
{
    Deep_View View;
    View.Set = Fractal_Set::Mandelbrot;
    View.Centre_Re = Re;
    View.Centre_Im = Im;
    View.Width = Width;
    View.Iterations = Iterations;
    return View;
}

} // namespace

std::vector<Bench_View> Views(const Settings& S)
{
    std::vector<Bench_View> Out;
    // Where people explore most: 1e-6 is mostly interior, 1e-9 has none.
    for (const char* Width : {"1e-6", "1e-9"})
        Out.push_back({std::string("seahorse ") + Width,
                       Mandelbrot_View("-0.743643887037151", "0.131825904205330", Width, 2000), true});
    Out.push_back({"seahorse 1e-12", Mandelbrot_View("-0.743643887037151", "0.131825904205330", "1e-12", 10000), true});
    const struct {
        const char* Name;
        const char* Width;
        double Log10_Width;
        std::int64_t Iterations;
    } Misiurewicz_Views[] = {{"misiurewicz 1e-50", "1e-50", -50, 20000},
                             {"misiurewicz 1e-300", "1e-300", -300, 20000},
                             {"misiurewicz 1e-1000", "1e-1000", -1000, 50000}};
    for (const auto& M : Misiurewicz_Views) {
        const Clock::time_point Start = Clock::now();
        const Misiurewicz::Point Centre = Misiurewicz::Example(Bits_For(M.Log10_Width, S.Width));
        if (!Centre.Found) {
            std::fprintf(stderr, "kestrine-deep-bench: no Misiurewicz point for %s\n", M.Name);
            continue;
        }
        std::printf("%s: centre by Newton in %d steps, %zu digits, %.3f s\n", M.Name, Centre.Newton_Steps,
                    Centre.Re.size(), std::chrono::duration<double>(Clock::now() - Start).count());
        Out.push_back({M.Name, Mandelbrot_View(Centre.Re, Centre.Im, M.Width, M.Iterations), false});
    }
    Bench_View Julia{"julia 1e-500", {}, false};
    Julia.View.Set = Fractal_Set::Julia;
    Julia.View.C_Re = "-0.4001";
    Julia.View.C_Im = "0.6";
    Julia.View.Centre_Re = Julia_Fixed_Point("-0.4001", "0.6", Bits_For(-500, S.Width), Julia.View.Centre_Im);
    Julia.View.Width = "1e-500";
    Julia.View.Iterations = 10000;
    Out.push_back(Julia);
    for (Bench_View& V : Out) {
        V.View.Image_Width = S.Width;
        V.View.Image_Height = S.Height;
    }
    return Out;
}

// Same loop as the test's, the simplest there is: no reference, every pixel on its own.
std::vector<std::int32_t> Double_Counts(const Deep_View& View)
{
    const int W = View.Image_Width, H = View.Image_Height;
    const double Re = std::stod(View.Centre_Re), Im = std::stod(View.Centre_Im);
    const double Step = std::stod(View.Width) / (W - 1);
    std::vector<std::int32_t> Counts(std::size_t(W) * H);
    std::atomic<int> Next_Row{0};
    const auto Worker = [&] {
        for (int y = Next_Row++; y < H; y = Next_Row++)
            for (int x = 0; x < W; ++x) {
                const double Cr = Re + (x - (W - 1) / 2.0) * Step, Ci = Im + (y - (H - 1) / 2.0) * Step;
                double Zr = 0, Zi = 0;
                std::int64_t Count = 0;
                for (; Count < View.Iterations; ++Count) {
                    const double A = Zr * Zr - Zi * Zi + Cr, B = 2 * Zr * Zi + Ci;
                    if (!(A * A + B * B < View.Threshold))
                        break;
                    Zr = A;
                    Zi = B;
                }
                Counts[std::size_t(y) * W + x] = static_cast<std::int32_t>(Count);
            }
    };
    std::vector<std::thread> Threads;
    for (unsigned i = 1; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
        Threads.emplace_back(Worker);
    Worker();
    for (std::thread& T : Threads)
        T.join();
    return Counts;
}

} // namespace Deep_Bench
