#include "DeepViews.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Deep_Views {

using namespace Kestrine_Deep;

namespace {

std::string Where(int X, int Y, double Got, double Want)
{
    return " (" + std::to_string(X) + "," + std::to_string(Y) + "): " + std::to_string(Got) + " for " + std::to_string(Want);
}

} // namespace

std::string Text(mpfr_srcptr X)
{
    std::vector<char> Out(600);
    mpfr_snprintf(Out.data(), Out.size(), "%.480Re", X);
    return Out.data();
}

Deep_View Mandelbrot(const std::string& Re, const std::string& Im, const char* Width, int W, int H, std::int64_t N,
                     const char* Height)
{
    Deep_View View;
    View.Centre_Re = Re, View.Centre_Im = Im, View.Width = Width, View.Height = Height;
    View.Image_Width = W, View.Image_Height = H, View.Iterations = N;
    return View;
}

Deep_View Julia(const std::string& Re, const std::string& Im, const char* Width, std::int64_t N, const char* C_Re,
                const char* C_Im, int W, int H)
{
    Deep_View View = Mandelbrot(Re, Im, Width, W, H, N);
    View.Set = Fractal_Set::Julia, View.Threshold = 2, View.C_Re = C_Re, View.C_Im = C_Im;
    return View;
}

// The benchmark's Misiurewicz point: the set has structure around it at every depth, and at width w
// its pixels escape after about log(1/w) / log 1.328 steps, so the counts stay modest even at 1e-400.
const Misiurewicz::Point& Centre()
{
    static const Misiurewicz::Point Point = Misiurewicz::Example(1600);
    return Point;
}

// A + B, as decimal text: a centre moved off a point.
std::string Add(const std::string& A, const char* B)
{
    mpfr_t X, Y;
    mpfr_inits2(1600, X, Y, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(X, A.c_str(), 10, MPFR_RNDN), mpfr_set_str(Y, B, 10, MPFR_RNDN), mpfr_add(X, X, Y, MPFR_RNDN);
    const std::string Out = Text(X);
    mpfr_clears(X, Y, static_cast<mpfr_ptr>(nullptr));
    return Out;
}

// The fixed point (1 + Sign sqrt(1 - 4c)) / 2 of z^2 + c, for c = C_Re + i C_Im. For -0.8 + 0.156i, outside
// the Mandelbrot set, both are repelling and lie on the Julia set; the pixels around one escape after
// about log(1/w) / log |2z| steps. For a c inside the set, the repelling one lies on the boundary of the
// attracting cycle's basin.
std::pair<std::string, std::string> Fixed_Point(int Sign, const char* C_Re, const char* C_Im)
{
    mpfr_t A, B, R, X, Y;
    mpfr_inits2(1600, A, B, R, X, Y, static_cast<mpfr_ptr>(nullptr));
    // 1 - 4c
    mpfr_set_str(A, C_Re, 10, MPFR_RNDN), mpfr_mul_si(A, A, -4, MPFR_RNDN), mpfr_add_ui(A, A, 1, MPFR_RNDN);
    mpfr_set_str(B, C_Im, 10, MPFR_RNDN), mpfr_mul_si(B, B, -4, MPFR_RNDN);
    mpfr_hypot(R, A, B, MPFR_RNDN);
    mpfr_add(X, R, A, MPFR_RNDN), mpfr_div_2ui(X, X, 1, MPFR_RNDN), mpfr_sqrt(X, X, MPFR_RNDN);
    // The root's imaginary part has the sign of B's.
    mpfr_sub(Y, R, A, MPFR_RNDN), mpfr_div_2ui(Y, Y, 1, MPFR_RNDN), mpfr_sqrt(Y, Y, MPFR_RNDN);
    mpfr_setsign(Y, Y, mpfr_signbit(B), MPFR_RNDN);
    mpfr_mul_si(X, X, Sign, MPFR_RNDN), mpfr_mul_si(Y, Y, Sign, MPFR_RNDN);
    mpfr_add_ui(X, X, 1, MPFR_RNDN), mpfr_div_2ui(X, X, 1, MPFR_RNDN), mpfr_div_2ui(Y, Y, 1, MPFR_RNDN);
    std::pair<std::string, std::string> Out{Text(X), Text(Y)};
    mpfr_clears(A, B, R, X, Y, static_cast<mpfr_ptr>(nullptr));
    return Out;
}

// A period-37 minibrot near -2, 1.5e-43 across, about its nucleus (Newton's method in MPFR): the
// orbit passes by 0 every 37 steps, and settles on its cycle within a few hundred.
Deep_View Minibrot_37()
{
    const Misiurewicz::Point Nucleus = Misiurewicz::Find(0, 37, "-1.99999999999999999999921626", "0", 300);
    EXPECT_FALSE(Nucleus.Re.empty());
    Deep_View Minibrot = Mandelbrot(Nucleus.Re, "0", "1.5e-43", 80, 50, 20000);
    Minibrot.Threshold = 5; // z = 2 and -2 lie on its orbit
    return Minibrot;
}

Samples Sample(const Deep_View& View)
{
    Deep_Model::View Model;
    Model.Mandelbrot = View.Set == Fractal_Set::Mandelbrot, Model.C_Re = View.C_Re, Model.C_Im = View.C_Im;
    Model.Centre_Re = View.Centre_Re, Model.Centre_Im = View.Centre_Im, Model.Width = View.Width;
    Model.Height = View.Height, Model.Threshold = View.Threshold;
    Model.W = View.Image_Width, Model.H = View.Image_Height, Model.N = View.Iterations;
    Samples Result = Deep_Model::Sample(Model, Deep_Model::Sample_Grid(Model, 120));
    for (const auto& Pixel : Result)
        EXPECT_TRUE(Pixel.Resolved) << "the model could not settle pixel " << Pixel.X << "," << Pixel.Y;
    return Result;
}

Deep_Picture Render(Deep_Renderer& Renderer, const Deep_View& View, const Render_Options& Options)
{
    Deep_Picture Picture;
    std::string Message;
    EXPECT_EQ(Renderer.Render(View, Options, Picture, Message), Render_Status::Finished) << Message;
    const std::size_t Size = static_cast<std::size_t>(View.Image_Width) * View.Image_Height;
    EXPECT_EQ(Picture.Width, View.Image_Width);
    EXPECT_EQ(Picture.Height, View.Image_Height);
    EXPECT_EQ(Picture.Iterations, View.Iterations);
    EXPECT_EQ(Renderer.Progress().Done, static_cast<std::int64_t>(Size));
    if (Picture.Counts.size() != Size || Picture.Smooth.size() != Size) {
        ADD_FAILURE() << "picture of " << Picture.Counts.size() << " counts for " << Size << " pixels";
        Picture.Counts.assign(Size, -1), Picture.Smooth.assign(Size, -1);
    }
    return Picture;
}

// The product's exactness target: 99.5% of the counts equal to the exact arithmetic's, which also meets
// its 99% within one.
// The smooth values of the pixels whose counts are right get the same target, 97% within 1e-3 and 99%
// within 0.1: double rounding, amplified along orbits that linger near the Julia set, moves a few of them
// by some hundredths even stepwise.
void Expect_Model(const char* Name, const Deep_Picture& Picture, const Samples& Model)
{
    ASSERT_GE(Model.size(), 100u) << Name;
    std::size_t Equal = 0, Compared = 0, Close = 0, Near_Smooth = 0;
    std::string Misses, Smooth_Misses;
    for (const auto& Pixel : Model) {
        const std::size_t I = static_cast<std::size_t>(Pixel.Y) * Picture.Width + Pixel.X;
        const auto& Want = Pixel.Result;
        Equal += Picture.Counts[I] == Want.Count;
        if (Picture.Counts[I] != Want.Count) {
            if (Misses.size() < 300) Misses += Where(Pixel.X, Pixel.Y, Picture.Counts[I], Want.Count);
            continue;
        }
        if (Want.Smooth_Capped) continue;
        // k + 1 - log2(ln|z(j)| / ln 1024), z(j) the first point past the failed candidate with |z| > 1024
        // and k = j - 1 the step reaching it, counted as the counts are: z(Count + 1) comes from step Count.
        const double Mu = Want.Escaped ? Want.Smooth_Index - std::log2(Want.Smooth_Log / std::log(1024.0))
                                       : static_cast<double>(Picture.Iterations);
        const double Error = std::fabs(Picture.Smooth[I] - Mu);
        ++Compared, Close += Error <= 1e-3 + Mu * 1e-7, Near_Smooth += Error <= 0.1;
        if (Error > 1e-3 + Mu * 1e-7 && Smooth_Misses.size() < 300)
            Smooth_Misses += Where(Pixel.X, Pixel.Y, Picture.Smooth[I], Mu);
    }
    EXPECT_GE(Equal, 0.995 * Model.size()) << Name << Misses;
    EXPECT_GE(Close, 0.97 * Compared) << Name << " smooth" << Smooth_Misses;
    EXPECT_GE(Near_Smooth, 0.99 * Compared) << Name << " smooth" << Smooth_Misses;
    // Everywhere: a never-escaped pixel's smooth value is its count; an escaped one's lies past it.
    for (std::size_t I = 0; I < Picture.Counts.size(); ++I) {
        if (Picture.Counts[I] == Picture.Iterations)
            ASSERT_EQ(Picture.Smooth[I], static_cast<float>(Picture.Iterations)) << Name << " pixel " << I;
        else
            ASSERT_GT(Picture.Smooth[I], Picture.Counts[I]) << Name << " pixel " << I;
    }
}

} // namespace Deep_Views
