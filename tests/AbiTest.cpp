// The library's binary interface: the layout the program is compiled against and what it exports.
#include <Pellarion.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

// The names a shared library exports, demangled; the constructors' and destructor's variants share
// their names. Empty if the library cannot be read.
std::set<std::string> Exported_By(const std::string& Library)
{
    std::set<std::string> Exported;
    FILE* Symbols = popen(("'" KESTRINE_NM "' -D --defined-only -C '" + Library + "'").c_str(), "r");
    if (!Symbols)
        return Exported;
    for (char Line[1024]; std::fgets(Line, sizeof(Line), Symbols);) {
        std::string Name = Line;
        Name = Name.substr(Name.find(' ', Name.find(' ') + 1) + 1); // drop address and type
        Name.erase(Name.find_last_not_of("\r\n") + 1);
        if (!Name.empty()) // the linker's own version-node symbol
            Exported.insert(Name);
    }
    return pclose(Symbols) == 0 ? Exported : std::set<std::string>{};
}

// The member offsets and the size are locked by the header's static assertions, compiled into this
// test as into the program; what remains to check is each built library itself (the one the program
// links, and the GPU build beside a software one): it exports exactly the engine's members and the
// hybrid-graphics hint (value 1, which drivers read).
TEST(Abi, OnlyTheEngineAndTheHintAreExported)
{
    EXPECT_EQ(NvOptimusEnablementCuda, 1); // resolved from the shared library at link time
    const std::set<std::string> Interface = {"Pellarion::Pellarion()",
                                             "Pellarion::~Pellarion()",
                                             "Pellarion::Compute_Init(int, int, float, float, float, float, Colormap_t)",
                                             "Pellarion::Compute_Julia(float, int, int, float, float)",
                                             "Pellarion::Compute_MandelBrot(float, int, int)",
                                             "Pellarion::Fractals_Initialize(int, int)",
                                             "Pellarion::Fractals_CleanUp()",
                                             "NvOptimusEnablementCuda"};
    for (const char* Library : {KESTRINE_LIBRARY_PATHS})
        EXPECT_EQ(Exported_By(Library), Interface) << Library;
}

} // namespace
