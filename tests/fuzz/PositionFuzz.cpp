// The position reader on any bytes: it reads them or refuses them saying why, and never crashes or
// hangs; whatever it reads, it writes as a text that it reads back to the very same place. Built for
// libFuzzer where clang has it; everywhere else its corpus is replayed as a test.
#include "Position.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool Same(const Position& A, const Position& B)
{
    return A.Mandelbrot == B.Mandelbrot && A.Centre_Re == B.Centre_Re && A.Centre_Im == B.Centre_Im &&
           A.Width == B.Width && A.Height == B.Height && A.Iterations == B.Iterations && A.Threshold == B.Threshold &&
           A.Julia_Re == B.Julia_Re && A.Julia_Im == B.Julia_Im && A.Colormap == B.Colormap &&
           A.Colouring == B.Colouring && A.Density == B.Density;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const std::string Text(reinterpret_cast<const char*>(Data), Size);
    Position Place;
    std::string Problem;
    if (!Read_Position(Text, Place, Problem)) {
        if (Problem.empty() || Problem.size() > 1000) {
            std::fprintf(stderr, "refused without a readable reason (%zu characters)\n", Problem.size());
            std::abort();
        }
        return 0;
    }
    const std::string Written = Position_Text(Place);
    Position Again;
    if (!Read_Position(Written, Again, Problem) || !Same(Again, Place)) {
        std::fprintf(stderr, "read, but not read back from what it wrote:\n%s\n%s\n", Written.c_str(), Problem.c_str());
        std::abort();
    }
    return 0;
}
