// The deep tests' side: the views they render, and the renderer's pictures checked against the direct
// MPFR model (DeepModel.h). Every expected value comes from the model or is worked out by hand, never
// from the renderer itself.
#pragma once

#include "DeepModel.h"
#include "KestrineDeep.h"
#include "Misiurewicz.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Deep_Views {

using Kestrine_Deep::Deep_Picture;
using Kestrine_Deep::Deep_Renderer;
using Kestrine_Deep::Deep_View;
using Kestrine_Deep::Render_Options;
using Samples = std::vector<Deep_Model::Sample_Result>;

Deep_View Mandelbrot(const std::string& Re, const std::string& Im, const char* Width, int W, int H, std::int64_t N,
                     const char* Height = "");
// W x H pixels of the Julia set of C_Re + C_Im i, |z| bounded by 2.
Deep_View Julia(const std::string& Re, const std::string& Im, const char* Width, std::int64_t N,
                const char* C_Re = "-0.8", const char* C_Im = "0.156", int W = 64, int H = 40);
const Misiurewicz::Point& Centre();
// A number as decimal text to 480 decimals: more than any view here needs.
std::string Text(mpfr_srcptr X);
std::string Add(const std::string& A, const char* B);
std::pair<std::string, std::string> Fixed_Point(int Sign, const char* C_Re = "-0.8", const char* C_Im = "0.156");
Deep_View Minibrot_37();

// The model's results at about 120 pixels of the view.
Samples Sample(const Deep_View& View);
// The renderer's picture of View, its size and progress checked.
Deep_Picture Render(Deep_Renderer& Renderer, const Deep_View& View, const Render_Options& Options = {});
// The picture against the model's samples, to the product's exactness target.
void Expect_Model(const char* Name, const Deep_Picture& Picture, const Samples& Model);

} // namespace Deep_Views
