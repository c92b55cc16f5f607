// Runs the fuzz target once on each file of the folder named, as libFuzzer replays a corpus.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

int main(int argc, char** argv)
{
    int Inputs = 0;
    for (const auto& Entry : std::filesystem::directory_iterator(argc > 1 ? argv[1] : ".")) {
        std::ifstream In(Entry.path(), std::ios::binary);
        const std::vector<char> Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size());
        ++Inputs;
    }
    std::printf("%d inputs\n", Inputs);
    return Inputs > 0 ? 0 : 1;
}
