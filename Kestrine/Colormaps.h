// The seven colour tables that Compute_Init uploads: 256 entries of red, green and blue bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Kestrine {

constexpr int Colormap_Entries = 256;
constexpr std::size_t Colormap_Bytes = 3 * Colormap_Entries;

using Colour_Table = std::array<std::uint8_t, Colormap_Bytes>;

// The table that a Colormap_t value names, or nullptr for a value outside 1 to 7.
const Colour_Table* Colour_Table_For(int colormap);

} // namespace Kestrine
