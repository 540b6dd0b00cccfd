// The precise method against the quad-precision reference: every point of regular orbits over
// 300 points, for small and large L, both directions of time, default and other constants.
#include <gtest/gtest.h>

#include <cmath>

#include "dynamics/constants.hpp"
#include "model_fixture.hpp"
#include "precise/precise_advance.hpp"
#include "precise/reference_orbit.hpp"

namespace {

// Largest distance from the reference over the points, phi measured around the circle.
double max_error(const model_params& m, const precise_config& c, const std::array<double, 2>& y0,
                 const std::vector<std::array<double, 2>>& reference) {
  precise_state s = precise_start(m, c, y0);
  double worst = 0.0;
  for (const auto& r : reference) {
    if (precise_advance(m, c, s) != precise_stop::done) {
      return HUGE_VAL;
    }
    const std::array<double, 2> p = precise_point(s, m.L);
    const double d_phi = std::fabs(std::remainder(p[0] - r[0], 2.0 * pi));
    worst = std::fmax(worst, std::fmax(d_phi, std::fabs(p[1] - r[1])));
  }
  return worst;
}

// tol = 1e-9 keeps every point within 1e-7; tol = 1e-14 within fine_bound.
void expect_contract(const model_params& m, int direction, const std::array<double, 2>& y0,
                     int n_points, double fine_bound) {
  const int steps = 10 + 2 * static_cast<int>(std::ceil(static_cast<double>(m.L)));
  const auto reference = reference_points(m, direction, y0, n_points, steps);
  precise_config c;
  c.direction = direction;
  c.tol = 1e-9;
  EXPECT_LE(max_error(m, c, y0, reference), 1e-7);
  c.tol = 1e-14;
  EXPECT_LE(max_error(m, c, y0, reference), fine_bound);
}

TEST(PreciseAccuracy, SmallReferenceForward) {
  expect_contract(model_with_L(0.5f), 1, {0.0, 0.25}, 300, 1e-12);
}

TEST(PreciseAccuracy, UnitReferenceBackward) {
  expect_contract(model_with_L(1.0f), -1, {pi / 2.0, 1.5}, 300, 1e-12);
}

TEST(PreciseAccuracy, LargeReferenceForward) {
  expect_contract(model_with_L(5.0f), 1, {0.0, 2.5}, 300, 1e-11);
}

TEST(PreciseAccuracy, LargeReferenceBackward) {
  expect_contract(model_with_L(5.0f), -1, {0.0, -3.75}, 300, 1e-11);
}

// catches: a default constant or omega = 1 assumed anywhere (segment lengths, forcing).
TEST(PreciseAccuracy, OtherModelConstants) {
  model_params m;
  m.p_a = 4.0f;
  m.p_b = 3.0f;
  m.p_c = 9.0f;
  m.p_d = 2.5f;
  m.p_e = 0.7f;
  m.omega = 1.7f;
  m.L = 1.5f;
  expect_contract(m, 1, {2.0, 2.2}, 60, 1e-12);
  expect_contract(m, -1, {2.0, 2.2}, 60, 1e-12);
}

}  // namespace
