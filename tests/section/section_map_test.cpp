// The section loop: point format, crossing rule, where points come from, and the stops that
// replace endless runs.
#include "section/section_map.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "line_count.hpp"
#include "model_fixture.hpp"
#include "oracle/literal_oracle.hpp"
#include "section/point_capture.hpp"

namespace {

std::string point_line(double phi, double l, float L) {
  std::string line;
  append_point_line(line, to_section_point({phi, l}, L));
  return line;
}

TEST(PointLine, ReducesTheAngleIntoZeroToTwoPi) {
  EXPECT_EQ(point_line(-0.5, 1.0, 1.0f), "   5.7831853072    1.0000000000\n");
  EXPECT_EQ(point_line(two_pi, 1.0, 1.0f), "   0.0000000000    1.0000000000\n");
  EXPECT_EQ(point_line(-0.0, 1.0, 1.0f), "   0.0000000000    1.0000000000\n");
  EXPECT_EQ(point_line(7.0, -3.0, 2.0f), "   0.7168146928   -1.5000000000\n");
}

TEST(PointLine, AnyAngleLandsInRange) {
  for (double phi = -1e6; phi < 1e6; phi += 1234.567) {
    for (double nudge : {-1e-300, 0.0, 1e-12}) {
      const double a = angle_0_2pi(phi + nudge);
      ASSERT_GE(a, 0.0) << phi;
      ASSERT_LT(a, two_pi) << phi;
    }
  }
  EXPECT_EQ(angle_0_2pi(-1e-20), 0.0);
}

TEST(PointLine, ZeroReferenceGivesInfinity) {
  EXPECT_EQ(point_line(1.0, 1.0, 0.0f), "   1.0000000000             inf\n");
  EXPECT_EQ(point_line(1.0, -1.0, 0.0f), "   1.0000000000            -inf\n");
}

TEST(Crossing, OnlyStrictlyPositiveToStrictlyNegative) {
  EXPECT_TRUE(is_crossing(0.5, -0.25));
  EXPECT_FALSE(is_crossing(-0.5, 0.25));
  EXPECT_FALSE(is_crossing(0.0, -0.25));
  EXPECT_FALSE(is_crossing(0.5, 0.0));
  EXPECT_FALSE(is_crossing(0.5, -0.0));
  EXPECT_FALSE(is_crossing(0.5, std::numeric_limits<double>::quiet_NaN()));
}

struct condition_run {
  section_outcome outcome;
  integration_state s;
  std::string points;
};

condition_run run_condition(float L, double h, double tol, double eps, int n_points, double phi,
                            double l) {
  const model_params m = model_with_L(L);
  run_config config;
  config.n_points = n_points;
  config.tol = tol;
  config.eps = eps;
  condition_run r;
  r.s.h = h;
  r.s.y = {phi, l};
  point_capture out;
  r.outcome = run_section_map(m, config, r.s, out.points);
  r.points = out.text();
  return r;
}

TEST(SectionMap, PointsAreTakenAtTwoPiSixPiAndTenPi) {
  for (int n = 1; n <= 3; ++n) {
    const condition_run r = run_condition(1.0f, 0.1, 1e-9, 1e-9, n, 0.5, 0.5);
    ASSERT_EQ(r.outcome.stop, section_stop::done);
    EXPECT_EQ(line_count(r.points), n);
    EXPECT_EQ(r.s.count, n);
    // The run ends on the refined end of the last crossing step, (4n - 2) * pi.
    EXPECT_NEAR(r.s.t, (4 * n - 2) * 3.141592653589793, 1e-8) << n;
  }
}

TEST(SectionMap, NoPointsAndNoStepsForNonPositiveCount) {
  for (int n : {0, -3}) {
    const condition_run r = run_condition(1.0f, 0.1, 1e-9, 1e-7, n, 0.5, 0.5);
    EXPECT_EQ(r.outcome.stop, section_stop::done);
    EXPECT_EQ(r.points, "");
    EXPECT_EQ(r.s.t, 0.0);
    EXPECT_EQ(r.s.h, 0.1);
  }
}

TEST(SectionMap, RefinementEndingShortCountsTheSameZeroTwice) {
  // With a coarse eps some refinements stop just before 2*pi; the next step passes the same
  // zero and yields a second point, so two points end near 2*pi instead of 6*pi.
  int doubled = 0;
  for (int i = 0; i < 40; ++i) {
    const double phi = 0.1 * i;
    const condition_run r = run_condition(1.0f, 0.1, 1e-9, 1e-3, 2, phi, 0.5);
    ASSERT_EQ(r.outcome.stop, section_stop::done);
    if (r.s.t < 3 * 3.141592653589793) {
      ++doubled;
      oracle::state o;
      o.h = 0.1;
      o.y[0] = phi;
      o.y[1] = 0.5;
      EXPECT_EQ(r.points, oracle::section_map(1.0f, 1e-9, 1e-3, 2, o));
      EXPECT_EQ(r.s.t, o.t);
    }
  }
  EXPECT_GT(doubled, 0);
}

// The stops below replace runs that would never end; each must come back promptly.
TEST(SectionStops, EpsBelowDoubleResolutionAtTheCrossing) {
  const condition_run r = run_condition(1.0f, 0.1, 1e-9, 1e-30, 3, 0.5, 0.5);
  EXPECT_EQ(r.outcome.stop, section_stop::refinement_unreachable);
  EXPECT_GT(std::fabs(r.outcome.detail), 1e-30);
  EXPECT_LT(std::fabs(r.outcome.detail), 1e-14);
  EXPECT_NEAR(r.outcome.t, 6.28, 0.2);
  EXPECT_EQ(r.points, "");
}

TEST(SectionStops, ToleranceThatStopsTime) {
  const condition_run r = run_condition(1.0f, 0.1, static_cast<double>(1e-40f), 1e-7, 3, 0.5, 0.5);
  EXPECT_EQ(r.outcome.stop, section_stop::step_collapsed);
  EXPECT_LT(std::fabs(r.outcome.h), min_step);
}

TEST(SectionStops, HugeMomentumCollapsesTheStep) {
  const condition_run r = run_condition(1.0f, 0.1, 1e-9, 1e-7, 3, 0.5, 3e38);
  EXPECT_EQ(r.outcome.stop, section_stop::step_collapsed);
  EXPECT_EQ(r.points, "");
}

TEST(SectionStops, NonFiniteStateIsReportedNotIntegrated) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& [phi, l] : {std::pair{nan, 0.5}, std::pair{0.5, inf}}) {
    const condition_run r = run_condition(1.0f, 0.1, 1e-9, 1e-7, 3, phi, l);
    EXPECT_EQ(r.outcome.stop, section_stop::state_not_finite);
  }
}

TEST(SectionStops, ZeroStepSizeNeverLoops) {
  const condition_run r = run_condition(1.0f, 0.0, 1e-9, 1e-7, 3, 0.5, 0.5);
  EXPECT_EQ(r.outcome.stop, section_stop::step_collapsed);
}

TEST(SectionStops, DescriptionsNameTheTimeReached) {
  section_outcome o{section_stop::step_collapsed, 12.5, 1e-12, 0.0};
  EXPECT_NE(describe(o, 1e-7).find("t = 12.5"), std::string::npos);
  o.stop = section_stop::refinement_unreachable;
  o.detail = 1.2e-16;
  EXPECT_NE(describe(o, 1e-30).find("eps = 1e-30"), std::string::npos);
}

}  // namespace
