// The engine's RGBA image as the QImage the view shows.
#pragma once

#include <QImage>

#include <cstdint>

// An ARGB32 image of Width x Height: red, green and blue from bytes 0, 1 and 2 of each 4-byte engine
// pixel, alpha 255. Without an engine image (Rgba null) the picture is opaque black.
QImage Picture_From_Engine(const std::uint8_t* Rgba, int Width, int Height);
