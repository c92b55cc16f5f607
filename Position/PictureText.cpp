#include "PictureText.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "Position.h"

namespace {

std::uint32_t Big_Endian(const unsigned char* Bytes)
{
    return std::uint32_t(Bytes[0]) << 24 | std::uint32_t(Bytes[1]) << 16 | std::uint32_t(Bytes[2]) << 8 | Bytes[3];
}

// zlib data inflated, to at most Longest_Position_Text bytes.
bool Inflated(const std::string& Packed, std::string& Text, std::string& Problem)
{
    z_stream Stream{};
    if (inflateInit(&Stream) != Z_OK) {
        Problem = "the picture's position cannot be unpacked";
        return false;
    }
    Stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Packed.data()));
    Stream.avail_in = static_cast<uInt>(Packed.size());
    std::vector<char> Out(Longest_Position_Text + 1);
    Stream.next_out = reinterpret_cast<Bytef*>(Out.data());
    Stream.avail_out = static_cast<uInt>(Out.size());
    const int Status = inflate(&Stream, Z_FINISH);
    const std::size_t Length = Out.size() - Stream.avail_out;
    inflateEnd(&Stream);
    if (Status != Z_STREAM_END) {
        Problem = Length > Longest_Position_Text ? "the picture's position is far too long"
                                                 : "the picture's position is damaged";
        return false;
    }
    Text.assign(Out.data(), Length);
    return true;
}

// The text of a tEXt, zTXt or iTXt chunk's data after its keyword.
bool Chunk_Text(const std::string& Type, const std::string& Data, std::size_t After_Key, std::string& Text,
                std::string& Problem)
{
    if (Type == "tEXt") {
        Text = Data.substr(After_Key);
        return true;
    }
    if (Type == "zTXt")
        return After_Key < Data.size() && Data[After_Key] == 0 && Inflated(Data.substr(After_Key + 1), Text, Problem);
    // iTXt: compressed or not, its method, a language tag and a translated keyword, then the text.
    const std::size_t Language_End = After_Key + 2 <= Data.size() ? Data.find('\0', After_Key + 2) : std::string::npos;
    const std::size_t Translated_End = Language_End == std::string::npos ? Language_End : Data.find('\0', Language_End + 1);
    if (Translated_End == std::string::npos) {
        Problem = "the picture's position is damaged";
        return false;
    }
    const std::string Body = Data.substr(Translated_End + 1);
    if (Data[After_Key] == 0) {
        Text = Body;
        return true;
    }
    return Inflated(Body, Text, Problem);
}

} // namespace

bool Picture_Position_Text(const std::string& Path, std::string& Text, std::string& Problem, Picture_Size* Size)
{
    std::ifstream File(Path, std::ios::binary);
    unsigned char Header[8];
    if (!File || !File.read(reinterpret_cast<char*>(Header), 8)) {
        Problem = "cannot be read";
        return false;
    }
    if (std::memcmp(Header, "\x89PNG\r\n\x1a\n", 8) != 0) {
        Problem = "is not a PNG picture";
        return false;
    }
    // The chunks before the pixels: the writers put the text there.
    bool Passed_Long_Text = false;
    for (unsigned char Head[8]; File.read(reinterpret_cast<char*>(Head), 8);) {
        const std::uint32_t Length = Big_Endian(Head);
        const std::string Type(reinterpret_cast<char*>(Head + 4), 4);
        if (Type == "IDAT" || Type == "IEND")
            break;
        if (Type == "IHDR" && Length == 13) {
            unsigned char Header_Data[17];
            if (!File.read(reinterpret_cast<char*>(Header_Data), 17))
                break;
            // Past int's range a size is none the tool could render at.
            const std::uint32_t Columns = Big_Endian(Header_Data), Rows = Big_Endian(Header_Data + 4);
            if (Size && Columns <= 2147483647u && Rows <= 2147483647u)
                *Size = Picture_Size{static_cast<int>(Columns), static_cast<int>(Rows)};
            continue;
        }
        const bool Textual = Type == "tEXt" || Type == "zTXt" || Type == "iTXt";
        if (!Textual || Length > Longest_Position_Text + 256) {
            // Another chunk, or a text too long to be a position (whatever it claims): passed over.
            Passed_Long_Text = Passed_Long_Text || Textual;
            if (!File.seekg(static_cast<std::streamoff>(Length) + 4, std::ios::cur))
                break;
            continue;
        }
        std::string Data(Length, '\0');
        if (!File.read(Data.data(), Length) || !File.seekg(4, std::ios::cur))
            break;
        const std::size_t Key_End = Data.find('\0');
        if (Key_End == std::string::npos || Data.compare(0, Key_End, Position_Picture_Key) != 0)
            continue;
        if (!Chunk_Text(Type, Data, Key_End + 1, Text, Problem))
            return false;
        if (Text.size() > Longest_Position_Text) {
            Problem = "the picture's position is far too long";
            return false;
        }
        return true;
    }
    Problem = Passed_Long_Text ? "the picture's text is far too long for a position" : "the picture carries no position";
    return false;
}
