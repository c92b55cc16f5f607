// kestrine-render's files: the picture, and the deep engine's counts.
//
// Built with Qt it writes any format Qt writes, chosen by the file's extension; without Qt, binary PPM.
#include "RenderTool.h"

#if defined(KESTRINE_RENDER_WITH_QT)
#include <QImage>
#include <QBuffer>
#include <QImageWriter>
#endif

#include <strings.h>

#include <cstring>

namespace Render_Tool {
namespace {

std::string Ppm_Bytes(const std::uint8_t* Rgba, int Width, int Height)
{
    std::string Bytes = "P6\n" + std::to_string(Width) + " " + std::to_string(Height) + "\n255\n";
    const std::size_t Header = Bytes.size(), Pixels = static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
    Bytes.resize(Header + 3 * Pixels);
    for (std::size_t i = 0; i < Pixels; ++i)
        std::memcpy(&Bytes[Header + 3 * i], Rgba + 4 * i, 3);
    return Bytes;
}

#if defined(KESTRINE_RENDER_WITH_QT)
bool Write_With_Qt(const std::string& Path, const std::string& Extension, const std::uint8_t* Rgba, int Width,
                   int Height, const std::string& Position_Text, std::string& Problem)
{
    // The engines' bytes are R, G, B, A in memory: exactly QImage's RGBA8888.
    const QImage Image(Rgba, Width, Height, 4 * Width, QImage::Format_RGBA8888);
    const QByteArray Format = Extension.empty() ? QByteArray("png") : QByteArray(Extension.c_str()).toLower();
    QByteArray Encoded;
    QBuffer Buffer(&Encoded);
    Buffer.open(QIODevice::WriteOnly);
    QImageWriter Writer(&Buffer, Format);
    QImage Written = Image.convertToFormat(QImage::Format_RGB888);
    // The program opens a picture at the place it shows, as it does its own saved pictures. Set on the
    // image, not the writer, which would fold the text's lines into one.
    if (Format == "png" && !Position_Text.empty())
        Written.setText(QString::fromLatin1(Position_Picture_Key), QString::fromStdString(Position_Text));
    if (!Writer.write(Written)) {
        Problem = Writer.errorString().toStdString();
        return false;
    }
    return Write_File(Path, Encoded.toStdString(), Problem);
}
#endif

} // namespace

bool Write_Picture(const std::string& Path, const std::uint8_t* Rgba, int Width, int Height,
                   [[maybe_unused]] const std::string& Position_Text, std::string& Problem)
{
    const std::size_t Dot = Path.find_last_of('.');
    const std::string Extension = Dot == std::string::npos ? "" : Path.substr(Dot + 1);
    if (strcasecmp(Extension.c_str(), "ppm") == 0)
        return Write_File(Path, Ppm_Bytes(Rgba, Width, Height), Problem);
#if defined(KESTRINE_RENDER_WITH_QT)
    return Write_With_Qt(Path, Extension, Rgba, Width, Height, Position_Text, Problem);
#else
    Problem = "this build writes only PPM files (.ppm)";
    return false;
#endif
}

bool Write_Counts(const std::string& Path, const Kestrine_Deep::Deep_Picture& Picture, std::string& Problem)
{
    std::string Bytes = "KESTRINE-COUNTS " + std::to_string(Picture.Width) + " " + std::to_string(Picture.Height) + " " +
                        std::to_string(static_cast<long long>(Picture.Iterations)) + "\n";
    // Byte by byte, so that the file is the same on a machine of either order.
    const std::size_t Header = Bytes.size();
    Bytes.resize(Header + 4 * Picture.Counts.size());
    for (std::size_t i = 0; i < Picture.Counts.size(); ++i) {
        const auto Count = static_cast<std::uint32_t>(Picture.Counts[i]);
        for (int b = 0; b < 4; ++b)
            Bytes[Header + 4 * i + b] = static_cast<char>(static_cast<unsigned char>(Count >> (8 * b)));
    }
    return Write_File(Path, Bytes, Problem);
}

} // namespace Render_Tool
