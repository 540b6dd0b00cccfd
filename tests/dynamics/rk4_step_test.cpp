// The trial step: what it reads and writes, its special cases, order, and the oracle.
#include "dynamics/rk4_step.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "model_fixture.hpp"
#include "oracle/literal_oracle.hpp"

namespace {

integration_state at(double t, double phi, double l, double h) {
  integration_state s;
  s.t = t;
  s.y = {phi, l};
  s.h = h;
  return s;
}

TEST(Rk4Step, ZeroStepLeavesStateUnchanged) {
  const model_params m = model_with_L();
  integration_state s = at(1.5, 0.7, -0.4, 0.0);
  EXPECT_EQ(rk4_step(m, s), 0.0);
  EXPECT_EQ(s.t_new, 1.5);
  EXPECT_EQ(s.y_new[0], 0.7);
  EXPECT_EQ(s.y_new[1], -0.4);
}

TEST(Rk4Step, WritesOnlyTheTrialAndRepeatsExactly) {
  const model_params m = model_with_L();
  integration_state s = at(2.0, 0.3, 0.9, 0.05);
  s.count = 4;
  const double err1 = rk4_step(m, s);
  const integration_state first = s;
  const double err2 = rk4_step(m, s);
  EXPECT_EQ(err1, err2);
  EXPECT_EQ(first.y_new, s.y_new);
  EXPECT_EQ(first.t_new, s.t_new);
  EXPECT_EQ(s.t, 2.0);
  EXPECT_EQ(s.y[0], 0.3);
  EXPECT_EQ(s.y[1], 0.9);
  EXPECT_EQ(s.h, 0.05);
  EXPECT_EQ(s.count, 4);
  EXPECT_EQ(s.t_new, 2.0 + 0.05);
}

TEST(Rk4Step, NanEstimatesGiveZeroError) {
  const model_params m = model_with_L();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  integration_state s = at(0.0, nan, nan, 0.1);
  EXPECT_EQ(rk4_step(m, s), 0.0);
  EXPECT_TRUE(std::isnan(s.y_new[0]));
}

// Local error of one step against a reference of 256 steps of the same scheme.
double local_error(const model_params& m, double h) {
  integration_state one = at(0.4, 0.8, 0.9, h);
  rk4_step(m, one);
  integration_state fine = at(0.4, 0.8, 0.9, h / 256.0);
  for (int i = 0; i < 256; ++i) {
    rk4_step(m, fine);
    fine.t = fine.t_new;
    fine.y = fine.y_new;
  }
  return std::hypot(one.y_new[0] - fine.y[0], one.y_new[1] - fine.y[1]);
}

TEST(Rk4Step, LocalErrorShrinksLikeTheFifthPowerOfTheStep) {
  const model_params m = model_with_L();
  for (double h : {0.4, 0.2, 0.1}) {
    const double order = std::log2(local_error(m, h) / local_error(m, h / 2.0));
    EXPECT_GT(order, 4.5) << h;
    EXPECT_LT(order, 5.5) << h;
  }
}

TEST(Rk4Step, NegativeStepIntegratesBackwards) {
  const model_params m = model_with_L();
  integration_state s = at(3.0, 1.1, 0.5, 0.01);
  rk4_step(m, s);
  integration_state back = at(s.t_new, s.y_new[0], s.y_new[1], -0.01);
  rk4_step(m, back);
  EXPECT_NEAR(back.t_new, 3.0, 1e-15);
  EXPECT_NEAR(back.y_new[0], 1.1, 1e-11);
  EXPECT_NEAR(back.y_new[1], 0.5, 1e-11);
}

TEST(Rk4Step, MatchesTheLiteralOracleBitForBit) {
  std::mt19937_64 gen(5);
  std::uniform_real_distribution<double> value(-8.0, 8.0);
  std::uniform_real_distribution<double> log_step(-12.0, 1.0);
  for (int i = 0; i < 20000; ++i) {
    model_params m = model_with_L();
    m.L = static_cast<float>(value(gen));
    const double h = std::copysign(std::pow(10.0, log_step(gen)), value(gen));
    integration_state s = at(value(gen) * 100.0, value(gen), value(gen), h);
    oracle::state o;
    o.t = s.t;
    o.y[0] = s.y[0];
    o.y[1] = s.y[1];
    o.h = h;
    ASSERT_EQ(rk4_step(m, s), oracle::rk4_step(m.L, o)) << i;
    ASSERT_EQ(s.y_new[0], o.y_new[0]) << i;
    ASSERT_EQ(s.y_new[1], o.y_new[1]) << i;
    ASSERT_EQ(s.t_new, o.t_new) << i;
  }
}

}  // namespace
