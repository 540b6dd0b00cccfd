// Invariants of the flow the precise method must keep: area, energy without forcing,
// reversibility of the map, the tangent flow against finite differences, and its stops.
#include <gtest/gtest.h>
#include <quadmath.h>

#include <cmath>
#include <limits>
#include <vector>

#include "dynamics/constants.hpp"
#include "model_fixture.hpp"
#include "precise/precise_advance.hpp"

namespace {

precise_config config(double tol, int direction = 1, bool tangent = false) {
  precise_config c;
  c.tol = tol;
  c.direction = direction;
  c.tangent = tangent;
  return c;
}

// The state (phi unwrapped near y0[0], l) after n_points points from y0.
std::array<double, 2> map_n(const model_params& m, const precise_config& c,
                            const std::array<double, 2>& y0, int n_points) {
  precise_state s = precise_start(m, c, y0);
  for (int i = 0; i < n_points; ++i) {
    EXPECT_EQ(precise_advance(m, c, s), precise_stop::done);
  }
  return {s.phi, s.l};
}

// Column j of the Jacobian of map_n by central differences, phi differences taken mod 2 pi.
std::array<double, 2> jacobian_column(const model_params& m, const precise_config& c,
                                      const std::array<double, 2>& y0, int n_points, int j,
                                      double delta) {
  std::array<double, 2> plus = y0;
  std::array<double, 2> minus = y0;
  plus[static_cast<std::size_t>(j)] += delta;
  minus[static_cast<std::size_t>(j)] -= delta;
  const auto a = map_n(m, c, plus, n_points);
  const auto b = map_n(m, c, minus, n_points);
  return {std::remainder(a[0] - b[0], 2.0 * pi) / (2.0 * delta), (a[1] - b[1]) / (2.0 * delta)};
}

TEST(PreciseInvariants, MapPreservesAreaAcrossThePlane) {
  for (float L : {1.0f, 5.0f}) {
    const model_params m = model_with_L(L);
    for (int direction : {1, -1}) {
      for (double phi0 : {0.3, 1.9, 3.5, 5.1}) {
        for (double r : {-1.6, -0.4, 0.7, 1.3}) {
          const std::array<double, 2> y0{phi0, r * static_cast<double>(L)};
          const precise_config c = config(1e-14, direction);
          const auto d_phi = jacobian_column(m, c, y0, 2, 0, 1e-5);
          const auto d_l = jacobian_column(m, c, y0, 2, 1, 1e-5);
          const double det = d_phi[0] * d_l[1] - d_l[0] * d_phi[1];
          EXPECT_NEAR(det, 1.0, 1e-6) << L << " " << direction << " " << phi0 << " " << r;
        }
      }
    }
  }
}

double energy(const model_params& m, double phi, double l) {
  const double a = 1.0 / static_cast<double>(m.p_a) -
                   std::cos(phi) * std::cos(phi) / static_cast<double>(m.p_b + m.p_c) -
                   std::sin(phi) * std::sin(phi) / static_cast<double>(m.p_b + m.p_d);
  const double L = static_cast<double>(m.L);
  return a * (l * l - L * L) / 2.0;
}

TEST(PreciseInvariants, WithoutForcingEnergyIsConserved) {
  for (float L : {0.5f, 5.0f}) {
    model_params m = model_with_L(L);
    m.p_e = 0.0f;
    const precise_config c = config(1e-14);
    for (double r : {-1.7, -0.6, 0.2, 0.95, 1.4}) {
      precise_state s = precise_start(m, c, {0.8, r * static_cast<double>(L)});
      const double h0 = energy(m, s.phi, s.l);
      for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(precise_advance(m, c, s), precise_stop::done);
        ASSERT_NEAR(energy(m, s.phi, s.l), h0, 1e-13 * static_cast<double>(L * L)) << r << " " << i;
      }
    }
  }
}

// The backward map is the inverse of the forward one: both span 4 pi / omega from a time
// where omega t is a multiple of 2 pi.
TEST(PreciseInvariants, BackwardRunRetracesTheForwardPoints) {
  const model_params m = model_with_L(2.0f);
  const precise_config forward = config(1e-14, 1);
  const precise_config backward = config(1e-14, -1);
  precise_state s = precise_start(m, forward, {1.0, 1.1});
  std::vector<std::array<double, 2>> points;
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(precise_advance(m, forward, s), precise_stop::done);
    points.push_back({s.phi, s.l});
  }
  precise_state r = precise_start(m, backward, points.back());
  for (int i = 38; 0 <= i; --i) {
    ASSERT_EQ(precise_advance(m, backward, r), precise_stop::done);
    EXPECT_NEAR(std::remainder(r.phi - points[static_cast<std::size_t>(i)][0], 2.0 * pi), 0.0,
                1e-11);
    EXPECT_NEAR(r.l, points[static_cast<std::size_t>(i)][1], 1e-11);
  }
}

TEST(PreciseTangent, MatchesFiniteDifferencesOfTheFlow) {
  for (float L : {1.0f, 5.0f}) {
    const model_params m = model_with_L(L);
    const std::array<double, 2> y0{0.7, 0.6 * static_cast<double>(L)};
    for (int direction : {1, -1}) {
      for (int n : {1, 6}) {
        const precise_config c = config(1e-14, direction, true);
        for (int j : {0, 1}) {
          precise_state s = precise_start(m, c, y0);
          s.tangent = {j == 0 ? 1.0 : 0.0, j == 1 ? 1.0 : 0.0};
          for (int i = 0; i < n; ++i) {
            ASSERT_EQ(precise_advance(m, c, s), precise_stop::done);
          }
          const auto fd = jacobian_column(m, config(1e-14, direction), y0, n, j, 1e-5);
          const double scale = std::hypot(fd[0], fd[1]);
          EXPECT_NEAR(s.tangent[0], fd[0], 1e-7 * scale) << L << direction << n << j;
          EXPECT_NEAR(s.tangent[1], fd[1], 1e-7 * scale) << L << direction << n << j;
        }
      }
    }
  }
}

// The tangent never steers the orbit, and rescaling it between calls only rescales it.
TEST(PreciseTangent, RenormalisingBetweenCallsLeavesStateAndDirection) {
  const model_params m = model_with_L(5.0f);
  const std::array<double, 2> y0{0.0, 0.0};  // in the chaotic sea
  precise_state plain = precise_start(m, config(1e-12), y0);
  precise_state kept = precise_start(m, config(1e-12, 1, true), y0);
  precise_state scaled = kept;
  double log_norm = 0.0;
  for (int i = 0; i < 30; ++i) {
    ASSERT_EQ(precise_advance(m, config(1e-12), plain), precise_stop::done);
    ASSERT_EQ(precise_advance(m, config(1e-12, 1, true), kept), precise_stop::done);
    ASSERT_EQ(precise_advance(m, config(1e-12, 1, true), scaled), precise_stop::done);
    const double norm = std::hypot(scaled.tangent[0], scaled.tangent[1]);
    log_norm += std::log(norm);
    scaled.tangent = {scaled.tangent[0] / norm, scaled.tangent[1] / norm};
    EXPECT_EQ(plain.phi, kept.phi);
    EXPECT_EQ(plain.l, kept.l);
    EXPECT_EQ(scaled.l, kept.l);
  }
  EXPECT_GT(log_norm, 5.0);  // the orbit is chaotic: the tangent did grow
  const double kept_norm = std::hypot(kept.tangent[0], kept.tangent[1]);
  EXPECT_NEAR(log_norm, std::log(kept_norm), 1e-12 * log_norm);
  EXPECT_NEAR(scaled.tangent[0], kept.tangent[0] / kept_norm, 1e-12);
  EXPECT_NEAR(scaled.tangent[1], kept.tangent[1] / kept_norm, 1e-12);
}

TEST(PreciseStops, ImpossibleToleranceCollapsesTheStep) {
  const model_params m = model_with_L(1.0f);
  precise_state s = precise_start(m, config(1e-300), {0.5, 0.5});
  const precise_state before = s;
  EXPECT_EQ(precise_advance(m, config(1e-300), s), precise_stop::step_collapsed);
  EXPECT_LT(s.h, min_precise_step);
  EXPECT_EQ(s.k, before.k);
  EXPECT_EQ(s.l, before.l);
}

TEST(PreciseStops, NonFiniteStatesStopAndKeepTheLastFiniteOne) {
  const model_params m = model_with_L(1.0f);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  precise_state s = precise_start(m, config(1e-9), {0.5, nan});
  EXPECT_EQ(precise_advance(m, config(1e-9), s), precise_stop::state_not_finite);
  EXPECT_EQ(s.k, 0);
  // A huge l overflows within the first steps; the state stays finite.
  precise_state big = precise_start(m, config(1e-9), {0.5, 1e200});
  const precise_stop stop = precise_advance(m, config(1e-9), big);
  EXPECT_TRUE(stop == precise_stop::state_not_finite || stop == precise_stop::step_collapsed);
  EXPECT_TRUE(std::isfinite(big.phi) && std::isfinite(big.l));
}

// catches: a start angle of many turns left unreduced, or reduced by the double nearest 2 pi.
TEST(PreciseStart, ReducesAnyStartAngleModuloTwoPi) {
  const model_params m = model_with_L(1.0f);
  for (double phi0 : {-1e-300, 7.0, -7.0, 1e4, -3e5, 3.4e38}) {
    const precise_state s = precise_start(m, config(1e-9), {phi0, 0.5});
    EXPECT_GE(s.phi, 0.0) << phi0;
    EXPECT_LT(s.phi, 2.0 * pi) << phi0;
    EXPECT_LT(std::fabs(s.phi_lo), 1e-15) << phi0;
    if (std::fabs(phi0) < 1e6) {
      const __float128 turn = 2 * acosq(-1);
      const __float128 miss = remainderq((s.phi - fmodq(phi0, turn)) + s.phi_lo, turn);
      EXPECT_NEAR(static_cast<double>(miss), 0.0, 1e-18) << phi0;
    }
  }
}

// With l = L = 0 and no forcing nothing moves: one step of any length reaches the point.
TEST(PreciseStops, AtRestTheRunStillEndsNormally) {
  model_params m = model_with_L(0.0f);
  m.p_e = 0.0f;
  precise_state s = precise_start(m, config(1e-9), {1.25, 0.0});
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(precise_advance(m, config(1e-9), s), precise_stop::done);
  }
  EXPECT_EQ(s.phi, 1.25);
  EXPECT_EQ(s.l, 0.0);
  EXPECT_EQ(s.k, 3);
}

}  // namespace
