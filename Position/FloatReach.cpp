#include "FloatReach.h"

#include <cmath>

namespace {

bool Resolves(float Min, float Max, int Pixels)
{
    const float Size = Max - Min;
    if (!std::isfinite(Min) || !std::isfinite(Max) || !std::isfinite(Size) || !(Size > 0.0f))
        return false;
    const float Centre = static_cast<float>(double(Size) * 0.5 + Min);
    return Pixels <= 1 || double(Size) / (Pixels - 1) >= Float_Steps_Per_Pixel * Float_Step(Centre);
}

} // namespace

double Float_Step(float Value)
{
    const float Magnitude = std::fabs(Value);
    return double(std::nextafter(Magnitude, INFINITY)) - double(Magnitude);
}

bool Float_Resolves(const Float_Window& Window, int Width, int Height)
{
    return Resolves(Window.X_Min, Window.X_Max, Width) && Resolves(Window.Y_Min, Window.Y_Max, Height);
}
