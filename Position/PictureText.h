// The position a PNG picture carries, read from its text chunks without decoding its pixels, so
// that a picture of any size opens at its place and a chunk that claims more than a position could
// hold is refused before anything is allocated for it.
#pragma once

#include <cstddef>
#include <string>

// The most a position file, or a picture's position text, may hold: a position is a few hundred bytes.
constexpr std::size_t Longest_Position_Text = 1 << 20;

// The picture's size, from its header.
struct Picture_Size {
    int Width = 0, Height = 0;
};

// Text is the position text of the PNG at Path (a tEXt, zTXt or iTXt chunk keyed Position_Picture_Key
// before the pixels), and Size its size where Size is given; false, Problem saying why, where there is
// none or it cannot be read.
bool Picture_Position_Text(const std::string& Path, std::string& Text, std::string& Problem, Picture_Size* Size = nullptr);
