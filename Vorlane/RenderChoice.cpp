#include "RenderChoice.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Float_Steps_Per_Pixel = 8;

// The distance from |Value| to the next float up: the resolution of single precision there.
double Float_Step(float Value)
{
    const float Magnitude = std::fabs(Value);
    return double(std::nextafter(Magnitude, INFINITY)) - double(Magnitude);
}

bool Resolves(float Min, float Max, int Pixels)
{
    const float Size = Max - Min;
    if (!std::isfinite(Min) || !std::isfinite(Max) || !std::isfinite(Size) || !(Size > 0.0f))
        return false;
    const float Centre = static_cast<float>(double(Size) * 0.5 + Min);
    return Pixels <= 1 || double(Size) / (Pixels - 1) >= Float_Steps_Per_Pixel * Float_Step(Centre);
}

} // namespace

bool Float_Resolves(const Float_Window& Window, int Width, int Height)
{
    return Resolves(Window.X_Min, Window.X_Max, Width) && Resolves(Window.Y_Min, Window.Y_Max, Height);
}

std::int64_t Iterations_For_Depth(const Plane_View& View, std::int64_t Users_Count)
{
    // Zoom = 4 / width in decimal orders.
    const double Orders = std::max(0.0, (2 - View.Width_Exponent()) * 0.30102999566398119521);
    const double Wanted = 100 + 100 * Orders * std::sqrt(Orders);
    return std::max(Users_Count, static_cast<std::int64_t>(std::min(Wanted, 2147483647.0)));
}
