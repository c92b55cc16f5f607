// Runs the engine tests in the portable lane set: the one a CPU without AVX2 or FMA runs.
#include <SoftControl.h>

#include <gtest/gtest.h>

namespace {

class Portable_Lanes : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(Soft_Control::Use_Lane_Set(Soft_Device::Lane_Set::Portable)); }
};

const ::testing::Environment* const Installed = ::testing::AddGlobalTestEnvironment(new Portable_Lanes);

} // namespace
