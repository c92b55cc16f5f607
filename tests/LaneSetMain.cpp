// The engine tests in a lane set of the software device's choosing: --lanes=portable|avx2|avx512 runs
// every kernel in that set, as a CPU whose widest set it is would. A set this CPU cannot run is
// reported as skipped (exit status 77).
#include <SoftControl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    using Soft_Device::Lane_Set;
    // What GoogleTest leaves of the command line: the lane set, if one is named.
    if (argc > 1 && std::strncmp(argv[1], "--lanes=", 8) == 0) {
        const char* Name = argv[1] + 8;
        const Lane_Set Set = std::strcmp(Name, "avx512") == 0 ? Lane_Set::Avx512
                             : std::strcmp(Name, "avx2") == 0 ? Lane_Set::Avx2_Fma
                                                              : Lane_Set::Portable;
        if (!Soft_Control::Use_Lane_Set(Set)) {
            std::printf("the lane set %s does not run on this CPU\n", Name);
            return 77;
        }
    }
    return RUN_ALL_TESTS();
}
