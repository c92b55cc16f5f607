// The library's binary interface: the layout the program is compiled against and what it exports.
#include <Pellarion.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The member offsets and the size are locked by the header's static assertions, compiled into this
// test as into the program; what remains to check is the built library itself.

TEST(Abi, HybridGraphicsHintIsExportedAsOne)
{
    void* Library = dlopen(KESTRINE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Library, nullptr) << dlerror();
    const auto* Hint = static_cast<const std::int32_t*>(dlsym(Library, "NvOptimusEnablementCuda"));
    ASSERT_NE(Hint, nullptr);
    EXPECT_EQ(*Hint, 1);
    dlclose(Library);
}

TEST(Abi, OnlyTheEngineAndTheHintAreExported)
{
    const std::string Command = "nm -D --defined-only -C '" KESTRINE_LIBRARY_PATH "'";
    FILE* Symbols = popen(Command.c_str(), "r");
    ASSERT_NE(Symbols, nullptr);
    std::vector<std::string> Exported;
    char Line[1024];
    while (std::fgets(Line, sizeof(Line), Symbols)) {
        std::string Name = Line;
        Name = Name.substr(Name.find(' ', Name.find(' ') + 1) + 1); // drop address and type
        Name.erase(Name.find_last_not_of("\r\n") + 1);
        Exported.push_back(Name);
    }
    ASSERT_EQ(pclose(Symbols), 0);

    const std::vector<std::string> Members = {"Pellarion::Pellarion()", "Pellarion::~Pellarion()",
                                              "Pellarion::Compute_Init(int, int, float, float, float, float, Colormap_t)",
                                              "Pellarion::Compute_Julia(float, int, int, float, float)",
                                              "Pellarion::Compute_MandelBrot(float, int, int)",
                                              "Pellarion::Fractals_Initialize(int, int)", "Pellarion::Fractals_CleanUp()",
                                              "NvOptimusEnablementCuda"};
    for (const std::string& Member : Members)
        EXPECT_NE(std::find(Exported.begin(), Exported.end(), Member), Exported.end()) << Member << " is not exported";
    for (const std::string& Name : Exported) {
        const bool Engine_Member = Name.rfind("Pellarion::", 0) == 0;
        // The linker's own version-node symbol is not ours.
        const bool Allowed = Engine_Member || Name == "NvOptimusEnablementCuda" || Name.empty();
        EXPECT_TRUE(Allowed) << "unexpected export: " << Name;
    }
}

} // namespace
