// Conditions run ahead of their turn: a confirmed result is exactly the run from the real
// starting step size, and anything uncertain is never confirmed.
#include "run/speculative_run.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model_fixture.hpp"
#include "section/point_capture.hpp"
#include "section/section_map.hpp"

namespace {

run_config config_of(int n_points, double tol, double eps) {
  run_config c;
  c.n_points = n_points;
  c.tol = tol;
  c.eps = eps;
  return c;
}

TEST(SpeculativeRun, ConfirmedResultIsTheRunFromTheRealStart) {
  const model_params m = model_with_L();
  const run_config config = config_of(3, static_cast<double>(1e-8f), static_cast<double>(1e-5f));
  const double h0 = static_cast<double>(0.1f);
  std::mt19937_64 gen(31);
  std::uniform_real_distribution<double> phi(-10.0, 10.0);
  std::uniform_real_distribution<double> l(-2.0, 2.0);
  std::uniform_int_distribution<int> lattice(-10, 5);
  int confirmed = 0;
  int refused = 0;
  for (int i = 0; i < 400; ++i) {
    const std::array<double, 2> y0{phi(gen), l(gen)};
    const double h_start = std::ldexp(h0, lattice(gen));
    const speculative_result early = run_speculatively(m, config, y0, h0);
    if (!confirms(m, config, y0, h_start, early)) {
      ++refused;
      continue;
    }
    ++confirmed;
    integration_state s;
    s.y = y0;
    s.h = h_start;
    point_capture out;
    ASSERT_EQ(run_section_map(m, config, s, out.file).stop, section_stop::done);
    ASSERT_EQ(early.points, out.text()) << i;
    ASSERT_EQ(early.end.h, s.h) << i;
    ASSERT_EQ(early.end.t, s.t) << i;
    ASSERT_EQ(early.end.y, s.y) << i;
    ASSERT_EQ(early.end.count, s.count) << i;
  }
  // Both paths are exercised: most guesses hold, a few starts change the first step.
  EXPECT_GT(confirmed, 300);
  EXPECT_GT(refused, 0);
}

TEST(SpeculativeRun, GuessEqualToTheStartIsAlwaysConfirmed) {
  const model_params m = model_with_L();
  const run_config config = config_of(2, 1e-9, 1e-6);
  const speculative_result early = run_speculatively(m, config, {0.3, 0.9}, 0.05);
  EXPECT_TRUE(confirms(m, config, {0.3, 0.9}, 0.05, early));
}

TEST(SpeculativeRun, NothingToTakeOverWithoutPoints) {
  // With no points the condition leaves h as it found it, not as the guess had it.
  const model_params m = model_with_L();
  const run_config config = config_of(0, 1e-9, 1e-6);
  const speculative_result early = run_speculatively(m, config, {0.3, 0.9}, 0.05);
  EXPECT_FALSE(confirms(m, config, {0.3, 0.9}, 0.05, early));
}

TEST(SpeculativeRun, StoppedRunIsNeverConfirmed) {
  // The stop must be reported from the real run, in its turn, with its own time and step.
  const model_params m = model_with_L();
  const run_config config = config_of(2, 1e-9, 1e-30);
  const speculative_result early = run_speculatively(m, config, {0.3, 0.9}, 0.05);
  EXPECT_EQ(early.outcome.stop, section_stop::refinement_unreachable);
  EXPECT_FALSE(confirms(m, config, {0.3, 0.9}, 0.05, early));
}

}  // namespace
