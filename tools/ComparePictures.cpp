// kestrine-compare: the fraction of pixels in which two binary PPM pictures of one size differ.
#include <cstdio>
#include <string>
#include <vector>

namespace {

bool Read_Ppm(const char* Path, int& Width, int& Height, std::vector<unsigned char>& Pixels)
{
    std::FILE* File = std::fopen(Path, "rb");
    if (!File)
        return false;
    int Max = 0;
    bool Ok = std::fscanf(File, "P6 %d %d %d", &Width, &Height, &Max) == 3 && Max == 255 && Width > 0 && Height > 0 &&
              std::fgetc(File) != EOF;
    if (Ok) {
        Pixels.resize(std::size_t(Width) * Height * 3);
        Ok = std::fread(Pixels.data(), 1, Pixels.size(), File) == Pixels.size();
    }
    std::fclose(File);
    return Ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kestrine-compare A.ppm B.ppm\n");
        return 2;
    }
    int Wa = 0, Ha = 0, Wb = 0, Hb = 0;
    std::vector<unsigned char> A, B;
    if (!Read_Ppm(argv[1], Wa, Ha, A) || !Read_Ppm(argv[2], Wb, Hb, B)) {
        std::fprintf(stderr, "kestrine-compare: cannot read both pictures\n");
        return 2;
    }
    if (Wa != Wb || Ha != Hb) {
        std::fprintf(stderr, "kestrine-compare: sizes differ (%dx%d, %dx%d)\n", Wa, Ha, Wb, Hb);
        return 1;
    }
    std::size_t Differing = 0;
    for (std::size_t i = 0; i < A.size(); i += 3)
        Differing += A[i] != B[i] || A[i + 1] != B[i + 1] || A[i + 2] != B[i + 2];
    std::printf("%.6f\n", double(Differing) / double(std::size_t(Wa) * Ha));
    return 0;
}
