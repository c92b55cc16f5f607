// Misiurewicz points of the Mandelbrot set to any number of bits, for centring deep views: the parameters
// c at which 0 is strictly preperiodic, z(k + p) = z(k) with z(0) = 0, z(j+1) = z(j)^2 + c, preperiod k
// and period p exact. Around such a point the set looks the same at every depth (scaled by the cycle's
// multiplier), so a view centred on it has structure however deep it goes.
#pragma once

#include <string>

namespace Misiurewicz {

struct Point {
    bool Found = false;   // Newton converged to a point of exactly this preperiod and period
    std::string Re, Im;   // decimal, enough digits for the bits asked for
    int Newton_Steps = 0;
};

// Newton's method from the seed at Bits + 64 bits, until a step is below 2^-Bits |c|. The root found
// is checked: z(k+p) - z(k) must vanish at the precision and no lower preperiod or shorter period may
// also hold there. Preperiod 0 to 1000 (0: the nucleus of a hyperbolic component, z(p) = 0), Period 1
// to 1000, Bits 16 to 1 << 20; seeds as decimal strings.
Point Find(int Preperiod, int Period, const char* Seed_Re, const char* Seed_Im, int Bits);

struct Check {
    bool Valid = false;
    double Log2_Residual = 0;   // log2 |z(k+p) - z(k)|
    // The least log2 |z(i+p) - z(i)| over i < k and log2 |z(k+q) - z(k)| over q < p dividing p: far
    // from the residual when the preperiod and period are exact.
    double Log2_Lower = 0;
    // The multiplier of the cycle the orbit lands on, prod 2 z(k+i) for i < p: the view repeats
    // itself, turned by its argument, each time the width shrinks by its modulus.
    double Multiplier_Abs = 0, Multiplier_Arg = 0;
};

// The orbit of 0 at the point, iterated at Bits bits.
Check Measure(int Preperiod, int Period, const char* Re, const char* Im, int Bits);

// The deep benchmark's centre, computed from its documented seed.
constexpr int Example_Preperiod = 4;
constexpr int Example_Period = 1;
extern const char* const Example_Seed_Re;
extern const char* const Example_Seed_Im;
Point Example(int Bits);

} // namespace Misiurewicz
