// kestrine-render's files: the picture, and the deep engine's counts.
//
// Built with Qt it writes any format Qt writes, chosen by the file's extension; without Qt, binary PPM.
#include "RenderTool.h"

#if defined(KESTRINE_RENDER_WITH_QT)
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#endif

#include <strings.h>

namespace Render_Tool {
namespace {

bool Write_Ppm(const std::string& Path, const std::uint8_t* Rgba, int Width, int Height)
{
    std::FILE* File = std::fopen(Path.c_str(), "wb");
    if (!File)
        return false;
    std::fprintf(File, "P6\n%d %d\n255\n", Width, Height);
    bool Written = true;
    for (long long i = 0; i < static_cast<long long>(Width) * Height && Written; ++i)
        Written = std::fwrite(Rgba + 4 * i, 1, 3, File) == 3;
    return std::fclose(File) == 0 && Written;
}

#if defined(KESTRINE_RENDER_WITH_QT)
bool Write_With_Qt(const std::string& Path, const std::string& Extension, const std::uint8_t* Rgba, int Width,
                   int Height, const std::string& Position_Text, std::string& Problem)
{
    // The engines' bytes are R, G, B, A in memory: exactly QImage's RGBA8888.
    const QImage Image(Rgba, Width, Height, 4 * Width, QImage::Format_RGBA8888);
    QSaveFile File(QString::fromLocal8Bit(Path.c_str())); // put in place only when complete
    if (!File.open(QIODevice::WriteOnly)) {
        Problem = File.errorString().toStdString();
        return false;
    }
    const QByteArray Format = Extension.empty() ? QByteArray("png") : QByteArray(Extension.c_str()).toLower();
    QImageWriter Writer(&File, Format);
    QImage Written = Image.convertToFormat(QImage::Format_RGB888);
    // The program opens a picture at the place it shows, as it does its own saved pictures. Set on the
    // image, not the writer, which would fold the text's lines into one.
    if (Format == "png" && !Position_Text.empty())
        Written.setText(QString::fromLatin1(Position_Picture_Key), QString::fromStdString(Position_Text));
    if (!Writer.write(Written)) {
        Problem = Writer.errorString().toStdString();
        return false;
    }
    if (!File.commit()) {
        Problem = File.errorString().toStdString();
        return false;
    }
    return true;
}
#endif

} // namespace

bool Write_Picture(const std::string& Path, const std::uint8_t* Rgba, int Width, int Height,
                   [[maybe_unused]] const std::string& Position_Text, std::string& Problem)
{
    const std::size_t Dot = Path.find_last_of('.');
    const std::string Extension = Dot == std::string::npos ? "" : Path.substr(Dot + 1);
    if (strcasecmp(Extension.c_str(), "ppm") == 0) {
        Problem = "cannot write the file";
        return Write_Ppm(Path, Rgba, Width, Height);
    }
#if defined(KESTRINE_RENDER_WITH_QT)
    return Write_With_Qt(Path, Extension, Rgba, Width, Height, Position_Text, Problem);
#else
    Problem = "this build writes only PPM files (.ppm)";
    return false;
#endif
}

bool Write_Counts(const std::string& Path, const Kestrine_Deep::Deep_Picture& Picture)
{
    std::FILE* File = std::fopen(Path.c_str(), "wb");
    if (!File)
        return false;
    std::fprintf(File, "KESTRINE-COUNTS %d %d %lld\n", Picture.Width, Picture.Height,
                 static_cast<long long>(Picture.Iterations));
    // Byte by byte, so that the file is the same on a machine of either order.
    std::vector<unsigned char> Bytes(4 * Picture.Counts.size());
    for (std::size_t i = 0; i < Picture.Counts.size(); ++i) {
        const auto Count = static_cast<std::uint32_t>(Picture.Counts[i]);
        for (int b = 0; b < 4; ++b)
            Bytes[4 * i + b] = static_cast<unsigned char>(Count >> (8 * b));
    }
    const bool Written = std::fwrite(Bytes.data(), 1, Bytes.size(), File) == Bytes.size();
    return std::fclose(File) == 0 && Written;
}

} // namespace Render_Tool
