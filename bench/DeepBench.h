// kestrine-deep-bench's views and the direct double loop it measures the shallowest one against.
#pragma once

#include <KestrineDeep.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Deep_Bench {

struct Settings {
    int Width = 1600, Height = 1000;
    bool Stepwise = true;
    double Stepwise_Limit = 60; // seconds a stepwise render may take before it is skipped
    bool Print_Centre = false;  // print the Misiurewicz centre and render nothing
};

struct Bench_View {
    std::string Name;
    Kestrine_Deep::Deep_View View;
    bool Double_Baseline = false;
};

// The views at the settings' size, their centres computed here at the precision each needs; each
// Misiurewicz centre's Newton run is printed.
std::vector<Bench_View> Views(const Settings& S);

// Mandelbrot counts of the view at every pixel straight in double, rows spread over all cores.
std::vector<std::int32_t> Double_Counts(const Kestrine_Deep::Deep_View& View);

} // namespace Deep_Bench
