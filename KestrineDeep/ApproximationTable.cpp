// Building the approximation table, level by level.
#include "ApproximationTable.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace Kestrine_Deep {
namespace {

using namespace Deep_Numbers;

const Scaled_Real Epsilon = Normalised(1.0, -53);

Approximation_Step Single_Step(const Orbit_Point& Z, const Orbit_Point& Next, bool Mandelbrot, double Delta_C_Max,
                               double Escape_Radius)
{
    Approximation_Step Step;
    Step.A = To_Scaled(2 * Z.Re, 2 * Z.Im);
    Step.B = Mandelbrot ? To_Scaled(1.0, 0.0) : Scaled_Complex{};
    Step.R = Epsilon * Magnitude_Of(Step.A);
    // |δ(m+1)| <= |A| R + |B| |δc|max = Epsilon |A|^2 + |δc|max here.
    const double A_Norm = 4 * (Z.Re * Z.Re + Z.Im * Z.Im);
    const double Farthest = std::hypot(Next.Re, Next.Im) + 0x1p-53 * A_Norm + (Mandelbrot ? Delta_C_Max : 0.0);
    if (!(Farthest < Escape_Radius * (1 - 0x1p-40)))
        Step.R = Scaled_Real{};
    return Step;
}

Approximation_Step Merged(const Approximation_Step& X, const Approximation_Step& Y, const Scaled_Real& Delta_C_Max)
{
    Approximation_Step Step;
    Step.A = Y.A * X.A;
    Step.B = Y.A * X.B + Y.B;
    if (X.R.Mantissa == 0 || Y.R.Mantissa == 0)
        return Step;
    const Scaled_Real Room = Y.R - Magnitude_Of(X.B) * Delta_C_Max;
    if (!(Room.Mantissa > 0))
        return Step;
    Step.R = Minimum(X.R, Room / Magnitude_Of(X.A));
    return Step;
}

// Entries between two looks at the cancel flag: a few milliseconds of work.
constexpr int Cancel_Check_Interval = 1 << 16;

} // namespace

bool Build_Approximation_Table(const Reference_Orbit& Orbit, bool Mandelbrot, Scaled_Real Delta_C_Max,
                               double Escape_Radius, const std::atomic<bool>& Cancelled, Approximation_Table& Table)
{
    const auto& Z = Orbit.Points();
    Table = Approximation_Table{};
    Table.First_Step = Mandelbrot ? 1 : 0;
    const std::int64_t Singles = Orbit.Length() - Table.First_Step;
    if (Singles <= 0)
        return true;
    try {
        Table.Steps.reserve(static_cast<std::size_t>(2 * Singles));
        const double Delta_C_Double = To_Double(Delta_C_Max);
        for (std::int64_t m = Table.First_Step; m < Orbit.Length(); ++m)
        {
            if (m % Cancel_Check_Interval == 0 && Cancelled.load(std::memory_order_relaxed)) {
                Table = Approximation_Table{};
                return false;
            }
            Table.Steps.push_back(Single_Step(Z[m], Z[m + 1], Mandelbrot, Delta_C_Double, Escape_Radius));
            Table.Largest_Radius = Table.Steps.back().R < Table.Largest_Radius ? Table.Largest_Radius : Table.Steps.back().R;
        }
    } catch (const std::bad_alloc&) {
        Table = Approximation_Table{};
        return false;
    }
    Table.Level_Size[0] = static_cast<int>(Singles);
    Table.Levels = 1;
    while (Table.Levels < Max_Levels && Table.Level_Size[Table.Levels - 1] >= 2) {
        const int Below = Table.Levels - 1;
        const int Offset = static_cast<int>(Table.Steps.size());
        const int Size = Table.Level_Size[Below] / 2;
        for (int i = 0; i < Size; ++i) {
            if (i % Cancel_Check_Interval == 0 && Cancelled.load(std::memory_order_relaxed)) {
                Table = Approximation_Table{};
                return false;
            }
            const Approximation_Step& X = Table.Steps[Table.Level_Offset[Below] + 2 * i];
            const Approximation_Step& Y = Table.Steps[Table.Level_Offset[Below] + 2 * i + 1];
            Table.Steps.push_back(Merged(X, Y, Delta_C_Max));
        }
        Table.Level_Offset[Table.Levels] = Offset;
        Table.Level_Size[Table.Levels] = Size;
        ++Table.Levels;
    }
    return true;
}

std::vector<double> Entry_Radii_Squared(const Approximation_Table& Table, std::int64_t Length)
{
    std::vector<double> Out(static_cast<std::size_t>(Length) + 1, -1.0);
    for (int Entry = 0; Table.Levels > 0 && Entry < Table.Level_Size[0]; ++Entry) {
        const Scaled_Real& R = Table.Steps[Table.Level_Offset[0] + Entry].R;
        if (R.Mantissa != 0) {
            const double Scaled = std::ldexp(R.Mantissa, std::max(R.Exp + 500, -1100));
            Out[static_cast<std::size_t>(Table.First_Step + Entry)] = Scaled * Scaled;
        }
    }
    return Out;
}

} // namespace Kestrine_Deep
