// Counts and smooth counts to RGBA through a 256-entry table, on the host: one pass over the pixels.
#include "KestrineDeep.h"

#include <algorithm>
#include <cmath>

namespace Kestrine_Deep {
namespace {

constexpr int Last_Entry = 255;
constexpr int Cycle_Period = 2 * Last_Entry; // up through the table and back down

// The cycle's entry at step k of it (k >= 0): 0, 1, ..., 255, 254, ..., 1, 0, 1, ...
int Cycle_Entry(std::int64_t k)
{
    const int Phase = static_cast<int>(k % Cycle_Period);
    return Phase <= Last_Entry ? Phase : Cycle_Period - Phase;
}

void Put_Entry(const unsigned char* Table, int Entry, unsigned char* Out)
{
    const unsigned char* Rgb = Table + 3 * Entry;
    Out[0] = Rgb[0];
    Out[1] = Rgb[1];
    Out[2] = Rgb[2];
    Out[3] = 255;
}

// The smooth count scaled by Density, on the cycle: between two neighbouring entries, each channel
// weighted by the distance from them.
void Put_Smooth(const unsigned char* Table, double Position, unsigned char* Out)
{
    // Reduced to one period first, so that a huge count loses only what double cannot hold anyway.
    double Phase = std::fmod(Position, double(Cycle_Period));
    if (Phase < 0)
        Phase += Cycle_Period;
    if (!(Phase >= 0 && Phase < Cycle_Period)) // NaN, or a rounding of -tiny + 510 up to 510
        Phase = 0;
    const int Step = static_cast<int>(Phase);
    const double Fraction = Phase - Step;
    const unsigned char* Low = Table + 3 * Cycle_Entry(Step);
    const unsigned char* High = Table + 3 * Cycle_Entry(Step + 1);
    for (int Channel = 0; Channel < 3; ++Channel)
        Out[Channel] = static_cast<unsigned char>(
            std::lround(Low[Channel] + Fraction * (double(High[Channel]) - double(Low[Channel]))));
    Out[3] = 255;
}

bool Picture_Fits(const Deep_Picture& Picture, Colouring Mode)
{
    if (Picture.Width < 0 || Picture.Height < 0)
        return false;
    const std::size_t Pixels = std::size_t(Picture.Width) * std::size_t(Picture.Height);
    return Picture.Counts.size() == Pixels && (Mode != Colouring::Smooth || Picture.Smooth.size() == Pixels);
}

} // namespace

const char* Colouring_Name(Colouring Mode)
{
    switch (Mode) {
    case Colouring::Table:
        return "table";
    case Colouring::Cycle:
        return "cycle";
    case Colouring::Smooth:
        return "smooth";
    }
    return "unknown";
}

bool Colouring_Named(const std::string& Name, Colouring& Mode)
{
    for (const Colouring Each : {Colouring::Table, Colouring::Cycle, Colouring::Smooth})
        if (Name == Colouring_Name(Each)) {
            Mode = Each;
            return true;
        }
    return false;
}

std::vector<unsigned char> Colour_Picture(const Deep_Picture& Picture, const unsigned char* Table, Colouring Mode,
                                          double Density)
{
    const bool Known_Mode = Mode == Colouring::Table || Mode == Colouring::Cycle || Mode == Colouring::Smooth;
    const bool Density_Usable = Mode != Colouring::Smooth || (std::isfinite(Density) && Density > 0);
    if (!Table || !Known_Mode || !Density_Usable || !Picture_Fits(Picture, Mode))
        return {};
    std::vector<unsigned char> Rgba(4 * Picture.Counts.size());
    unsigned char* Out = Rgba.data();
    for (std::size_t i = 0; i < Picture.Counts.size(); ++i, Out += 4) {
        const std::int64_t Count = std::max<std::int64_t>(Picture.Counts[i], 0);
        // Table: entry min(count, 255) for every pixel, never escaped ones included, as the float
        // engine colours its counts; the other colourings give those the last entry.
        if (Mode == Colouring::Table)
            Put_Entry(Table, static_cast<int>(std::min<std::int64_t>(Count, Last_Entry)), Out);
        else if (Count >= Picture.Iterations)
            Put_Entry(Table, Last_Entry, Out);
        else if (Mode == Colouring::Cycle)
            Put_Entry(Table, Cycle_Entry(Count), Out);
        else
            Put_Smooth(Table, double(Picture.Smooth[i]) * Density, Out);
    }
    return Rgba;
}

} // namespace Kestrine_Deep
