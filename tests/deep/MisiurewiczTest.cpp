// The deep benchmark's centre: a Misiurewicz point to the bits asked for, of exactly the preperiod and
// period it is said to have.
#include "Misiurewicz.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// The leading significant digits of a decimal string, sign and point dropped.
std::string Digits(const std::string& Text, std::size_t Count)
{
    std::string Out;
    for (char Ch : Text) {
        if (Ch == 'e' || Ch == 'E') break;
        if (Ch >= '0' && Ch <= '9' && !(Out.empty() && Ch == '0')) Out += Ch;
    }
    return Out.substr(0, Count);
}

} // namespace

TEST(Misiurewicz, Example)
{
    // Two precisions give the same point to the lower one's digits (200 bits: 60 digits).
    const Misiurewicz::Point Low = Misiurewicz::Example(200);
    const Misiurewicz::Point High = Misiurewicz::Example(1200);
    ASSERT_TRUE(Low.Found);
    ASSERT_TRUE(High.Found);
    EXPECT_EQ(Digits(Low.Re, 58), Digits(High.Re, 58));
    EXPECT_EQ(Digits(Low.Im, 58), Digits(High.Im, 58));
    EXPECT_EQ(Digits(High.Re, 20), "10109636384562216102");
    EXPECT_EQ(Digits(High.Im, 20), "95628651080914150077");
    EXPECT_EQ(High.Re.substr(0, 4), "-1.0");
    EXPECT_GE(High.Re.size(), 360u);  // 1200 bits are about 362 digits
    // Newton converges quadratically: a few more steps for six times the bits.
    EXPECT_LE(High.Newton_Steps, 12);

    // z(5) = z(4) to the precision, no lower preperiod: |z(i+1) - z(i)| for i < 4 is of order 1.
    const Misiurewicz::Check Check = Misiurewicz::Measure(4, 1, High.Re.c_str(), High.Im.c_str(), 1300);
    ASSERT_TRUE(Check.Valid);
    EXPECT_LT(Check.Log2_Residual, -1150);
    EXPECT_GT(Check.Log2_Lower, -2);
    // The cycle is repelling and turns: spirals, not a straight branch.
    EXPECT_NEAR(Check.Multiplier_Abs, 1.32833, 1e-4);
    EXPECT_NEAR(Check.Multiplier_Arg, 2.08660, 1e-4);
    // The 200-bit strings really are good to 200 bits.
    EXPECT_LT(Misiurewicz::Measure(4, 1, Low.Re.c_str(), Low.Im.c_str(), 400).Log2_Residual, -190);

    // Asked for a higher preperiod or a longer period from the point itself, Newton must not stay on it.
    for (auto [Preperiod, Period] : {std::pair{5, 1}, {6, 1}, {4, 2}}) {
        const Misiurewicz::Point Other = Misiurewicz::Find(Preperiod, Period, Low.Re.c_str(), Low.Im.c_str(), 100);
        if (Other.Found) {
            EXPECT_GT(std::hypot(std::stod(Other.Re) - std::stod(Low.Re), std::stod(Other.Im) - std::stod(Low.Im)), 1e-6)
                << Preperiod << "," << Period;
        }
    }
    // Refusals.
    EXPECT_FALSE(Misiurewicz::Find(0, 1, "0", "1", 100).Found);
    EXPECT_FALSE(Misiurewicz::Find(2, 0, "0", "1", 100).Found);
    EXPECT_FALSE(Misiurewicz::Find(2, 2, "zero", "1", 100).Found);
    EXPECT_FALSE(Misiurewicz::Find(2, 2, "0", "1", 8).Found);
    // c = i: 0, i, -1+i, -i, -1+i: preperiod 2, period 2.
    EXPECT_TRUE(Misiurewicz::Find(2, 2, "0.01", "0.99", 100).Found);
}
