#include "RenderChoice.h"

#include <algorithm>
#include <cmath>

std::int64_t Iterations_For_Depth(const Plane_View& View, std::int64_t Users_Count)
{
    // 100 + 100 z^1.5 for a zoom of z decimal orders past the default 4 wide. Measured at 240 x 150 with
    // far more iterations than needed, the count that 99% of the escaping pixels escape within:
    //   seahorse valley (-0.743643887037151 + 0.131825904205330i): 369, 604, 1519, 5101, 5272 at zooms
    //   of 3, 5, 9, 11 and 13 orders (this rule: 620, 1218, 2800, 3748, 4787; the slowest pixel of each
    //   view escapes at 29, 98, 1000, 1150, 2066, far below);
    //   the Misiurewicz point of the deep benchmark: 69, 108, 191, 433, 839, 1650, 2460 at 5, 10, 20, 50,
    //   100, 200 and 300 orders, 8.1 an order, which the rule leaves far behind.
    // So the detail of a view shows rather than a flat interior; a minibrot's own interior costs its
    // iterations, which is why the count grows no faster.
    const double Orders = std::max(0.0, (2 - View.Width_Exponent()) * 0.30102999566398119521);
    const double Wanted = 100 + 100 * Orders * std::sqrt(Orders);
    return std::max(Users_Count, static_cast<std::int64_t>(std::min(Wanted, 2147483647.0)));
}
