// The indicator's sums on tangent norms whose MEGNO and Lyapunov exponent are known by hand.
#include "chaos/chaos_accumulator.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "dynamics/constants.hpp"

namespace {

constexpr double period = four_pi;

// Records the reference point, then n periods that each multiply the norm by `growth`.
chaos_summary run_growth(double growth, int n, std::array<double, 2> direction) {
  chaos_accumulator a;
  std::array<double, 2> tangent = direction;
  chaos_record_point(a, tangent);
  for (int k = 0; k < n; ++k) {
    tangent = {tangent[0] * growth, tangent[1] * growth};
    chaos_record_point(a, tangent);
  }
  return chaos_finish(a, period);
}

// ln r_k = c for every k: Y_k = c (k + 1), so <Y>_n = c (n + 3) / 2 and lambda = c / period.
TEST(ChaosAccumulator, ExponentialGrowthGivesLinearMegno) {
  const double c = 0.25;
  const chaos_summary r = run_growth(std::exp(c), 99, {1.0, 0.0});
  EXPECT_NEAR(r.megno, c * 102.0 / 2.0, 1e-12);
  EXPECT_NEAR(r.lyapunov, c / period, 1e-15);
  EXPECT_FALSE(r.chaotic);  // 99 periods are too few for a verdict
  EXPECT_TRUE(run_growth(std::exp(c), static_cast<int>(min_verdict_periods), {1.0, 0.0}).chaotic);
}

// |tangent_k| = k + 1 (linear growth, as on a torus): <Y>_n tends to 2.
TEST(ChaosAccumulator, LinearGrowthTendsToTwo) {
  chaos_accumulator a;
  std::array<double, 2> tangent = {0.0, 1.0};
  chaos_record_point(a, tangent);
  for (int k = 1; k <= 20000; ++k) {
    const double r = static_cast<double>(k + 1) / static_cast<double>(k);
    tangent = {tangent[0] * r, tangent[1] * r};
    chaos_record_point(a, tangent);
  }
  const chaos_summary y = chaos_finish(a, period);
  EXPECT_NEAR(y.megno, 2.0, 5e-3);  // 2 - (ln n)^2 / (2 n) + O(ln n / n)
  EXPECT_NEAR(y.lyapunov, std::log(20001.0) / (20000.0 * period), 1e-12);
  EXPECT_FALSE(y.chaotic);
}

// catches: sqrt(x * x + y * y), which overflows, or no rescaling between points
TEST(ChaosAccumulator, HugeGrowthNeitherOverflowsNorTurnsTheTangent) {
  const chaos_summary r = run_growth(1e300, 40, {-0.6, 0.8});
  EXPECT_NEAR(r.lyapunov, std::log(1e300) / period, 1e-12);
  EXPECT_TRUE(std::isfinite(r.megno));
  chaos_accumulator a;
  std::array<double, 2> tangent = {-3e300, 4e300};
  chaos_record_point(a, tangent);
  EXPECT_DOUBLE_EQ(tangent[0], -0.6);
  EXPECT_DOUBLE_EQ(tangent[1], 0.8);
}

TEST(ChaosAccumulator, NoPeriodMeansNotComputed) {
  chaos_accumulator a;
  EXPECT_FALSE(chaos_finish(a, period).computed);
  std::array<double, 2> tangent = {1.0, 0.0};
  chaos_record_point(a, tangent);  // the reference alone
  EXPECT_FALSE(chaos_finish(a, period).computed);
}

}  // namespace
