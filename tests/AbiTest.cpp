// The library's binary interface: the layout the program is compiled against and what it exports.
#include <Pellarion.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The member offsets and the size are locked by the header's static assertions, compiled into this
// test as into the program; what remains to check is the built library itself: the engine's members
// and the hybrid-graphics hint (value 1, which drivers read) are exported, and nothing else.
TEST(Abi, OnlyTheEngineAndTheHintAreExported)
{
    EXPECT_EQ(NvOptimusEnablementCuda, 1); // resolved from the shared library at link time
    FILE* Symbols = popen("nm -D --defined-only -C '" KESTRINE_LIBRARY_PATH "'", "r");
    ASSERT_NE(Symbols, nullptr);
    std::vector<std::string> Exported;
    for (char Line[1024]; std::fgets(Line, sizeof(Line), Symbols);) {
        std::string Name = Line;
        Name = Name.substr(Name.find(' ', Name.find(' ') + 1) + 1); // drop address and type
        Name.erase(Name.find_last_not_of("\r\n") + 1);
        Exported.push_back(Name);
    }
    ASSERT_EQ(pclose(Symbols), 0);
    for (const char* Member : {"Pellarion::Pellarion()", "Pellarion::~Pellarion()",
                               "Pellarion::Compute_Init(int, int, float, float, float, float, Colormap_t)",
                               "Pellarion::Compute_Julia(float, int, int, float, float)",
                               "Pellarion::Compute_MandelBrot(float, int, int)",
                               "Pellarion::Fractals_Initialize(int, int)", "Pellarion::Fractals_CleanUp()",
                               "NvOptimusEnablementCuda"})
        EXPECT_NE(std::find(Exported.begin(), Exported.end(), Member), Exported.end()) << Member << " is not exported";
    // The linker's own version-node symbol (an empty name here) is not ours.
    for (const std::string& Name : Exported)
        EXPECT_TRUE(Name.rfind("Pellarion::", 0) == 0 || Name == "NvOptimusEnablementCuda" || Name.empty())
            << "unexpected export: " << Name;
}

} // namespace
