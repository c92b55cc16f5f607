// Runs the fuzz target once on each file of the folders or files named, as libFuzzer replays a corpus.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    int Inputs = 0;
    const auto Run = [&](const fs::path& File) {
        std::ifstream In(File, std::ios::binary);
        const std::vector<char> Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size());
        ++Inputs;
    };
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const auto& Entry : fs::directory_iterator(argv[i]))
                Run(Entry.path());
        } else {
            Run(argv[i]);
        }
    }
    std::printf("%d inputs\n", Inputs);
    return Inputs > 0 ? 0 : 1;
}
