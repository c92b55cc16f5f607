// The deep renderer on the software device in each lane set this CPU runs: every set must give every
// pixel the very same count and smooth value, as each lane walks its pixel in the scalar walk's own
// operations. Linked with the software device's objects, so that the test can choose the set.
#include "DeepViews.h"

#include <SoftControl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Deep_Views;
using Soft_Device::Lane_Set;

TEST(DeepLanes, EveryLaneSetGivesTheSamePicture)
{
    const struct {
        const char* Name;
        Deep_View View;
    } Views[] = {
        {"seahorse 1e-6", Mandelbrot("-0.743643887037151", "0.131825904205330", "1e-6", 83, 47, 2000)},
        {"Misiurewicz 1e-30", Mandelbrot(Centre().Re, Centre().Im, "1e-30", 83, 47, 2000)},
        {"Misiurewicz 1e-400", Mandelbrot(Centre().Re, Centre().Im, "1e-400", 83, 47, 5000)},
        // The rabbit, whose attracting 3-cycle stops most of its pixels in the check.
        {"filled Julia", Julia("0", "0", "3", 1000, "-0.123", "0.745", 83, 47)},
    };
    std::vector<Lane_Set> Sets;
    for (const Lane_Set Set : {Lane_Set::Portable, Lane_Set::Avx2_Fma, Lane_Set::Avx512})
        if (Soft_Device::Lane_Set_Runs_Here(Set))
            Sets.push_back(Set);
    if (Sets.size() < 2)
        GTEST_SKIP() << "this CPU runs a single lane set";
    for (const auto& Each : Views) {
        for (const bool Interior_Check : {true, false}) {
            std::vector<Deep_Picture> Pictures;
            for (const Lane_Set Set : Sets) {
                ASSERT_TRUE(Soft_Control::Use_Lane_Set(Set));
                Deep_Renderer Renderer;
                Render_Options Options;
                Options.Interior_Check = Interior_Check;
                Pictures.push_back(Render(Renderer, Each.View, Options));
            }
            for (std::size_t S = 1; S < Sets.size(); ++S) {
                const std::string Name = std::string(Each.Name) + " in " + Soft_Device::Lane_Set_Description(Sets[S]) +
                                         (Interior_Check ? ", interior check on" : ", interior check off");
                for (std::size_t I = 0; I < Pictures[0].Counts.size(); ++I) {
                    ASSERT_EQ(Pictures[S].Counts[I], Pictures[0].Counts[I]) << Name << " pixel " << I;
                    ASSERT_EQ(Pictures[S].Smooth[I], Pictures[0].Smooth[I]) << Name << " pixel " << I;
                }
            }
        }
    }
    Soft_Control::Use_Lane_Set(Sets.back());
}

} // namespace
