#include "PictureHandoff.h"

namespace {

// A whole row at a time, with no call per pixel: the loop compiles to vector shuffles.
void Convert_Row(const std::uint8_t* __restrict Rgba, std::uint32_t* __restrict Argb, int Width)
{
    for (int x = 0; x < Width; ++x) {
        const std::uint8_t* Pixel = Rgba + 4 * x;
        Argb[x] = 0xFF000000u | std::uint32_t(Pixel[0]) << 16 | std::uint32_t(Pixel[1]) << 8 | Pixel[2];
    }
}

} // namespace

QImage Picture_From_Engine(const std::uint8_t* Rgba, int Width, int Height)
{
    QImage Picture(Width, Height, QImage::Format_ARGB32);
    if (Picture.isNull())
        return Picture;
    if (!Rgba) {
        Picture.fill(QColor(Qt::black));
        return Picture;
    }
    std::uint8_t* Rows = Picture.bits();
    const qsizetype Stride = Picture.bytesPerLine();
    for (int y = 0; y < Height; ++y)
        Convert_Row(Rgba + std::size_t(4) * Width * y, reinterpret_cast<std::uint32_t*>(Rows + Stride * y), Width);
    return Picture;
}
