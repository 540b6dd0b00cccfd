// Right-hand side and section function: special values, and agreement with the oracle.
#include "dynamics/model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model_fixture.hpp"
#include "oracle/literal_oracle.hpp"

namespace {

TEST(ModelConstants, AreTheFixedSinglePrecisionValuesAndKeepL) {
  const model_params m = model_with_L(2.5f);
  EXPECT_EQ(m.p_a, 6.0f);
  EXPECT_EQ(m.p_b, 5.0f);
  EXPECT_EQ(m.p_c, 8.0f);
  EXPECT_EQ(m.p_d, 15.0f);
  EXPECT_EQ(m.omega, 1.0f);
  EXPECT_EQ(static_cast<double>(m.p_e), 0x1.99999ap-2);  // 0.4 in single precision
  EXPECT_EQ(m.L, 2.5f);
}

TEST(Rhs, OtherComponentsAreZero) {
  const model_params m = model_with_L(1.0f);
  const std::array<double, 2> y{0.3, 0.7};
  EXPECT_EQ(rhs(m, 2, 1.0, y), 0.0);
  EXPECT_EQ(rhs(m, -1, 1.0, y), 0.0);
}

TEST(Rhs, MomentumRateVanishesAtPlusOrMinusL) {
  const model_params m = model_with_L(1.25f);
  for (double phi : {0.0, 0.4, 1.3, 2.9, -5.0}) {
    EXPECT_EQ(std::fabs(rhs(m, 1, 0.7, {phi, 1.25})), 0.0) << phi;
    EXPECT_EQ(std::fabs(rhs(m, 1, 0.7, {phi, -1.25})), 0.0) << phi;
  }
}

TEST(Rhs, AtZeroAngleTheRatesReduceToHandFormulas) {
  const model_params m = model_with_L(1.0f);
  volatile double t = 0.9;  // run-time sine, as the program's
  const double l = 0.6;
  const double forcing = (static_cast<double>(0.4f) / 6.0) * std::sin(t);
  EXPECT_EQ(rhs(m, 0, t, {0.0, l}), (1.0 / 6.0 - 1.0 / 13.0) * l + forcing);
  EXPECT_EQ(rhs(m, 1, t, {0.0, l}), 0.0);
}

TEST(Rhs, MatchesTheLiteralOracleBitForBit) {
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> wide(-20.0, 20.0);
  for (int i = 0; i < 20000; ++i) {
    const float L = static_cast<float>(wide(gen));
    const model_params m = model_with_L(L);
    const std::array<double, 2> y{wide(gen), wide(gen)};
    const double t = wide(gen) * 10.0;
    for (int c = 0; c < 2; ++c) {
      ASSERT_EQ(rhs(m, c, t, y), oracle::rhs(L, c, t, y.data())) << i << " " << c;
    }
  }
}

TEST(SectionValue, IsZeroAtTimeZeroAndOneAtPi) {
  const model_params m = model_with_L(1.0f);
  EXPECT_EQ(section_value(m, 0.0, {1.0, 2.0}), 0.0);
  EXPECT_EQ(section_value(m, 3.141592653589793, {1.0, 2.0}), 1.0);
}

TEST(SectionValue, ChangesFromPositiveToNegativeAtTwoPiAndSixPi) {
  const model_params m = model_with_L(1.0f);
  for (double zero : {6.283185307179586, 18.84955592153876}) {
    EXPECT_GT(section_value(m, zero - 1e-9, {}), 0.0);
    EXPECT_LT(section_value(m, zero + 1e-9, {}), 0.0);
  }
  // At 4*pi it passes from negative to positive.
  EXPECT_LT(section_value(m, 12.566370614359172 - 1e-9, {}), 0.0);
  EXPECT_GT(section_value(m, 12.566370614359172 + 1e-9, {}), 0.0);
}

}  // namespace
