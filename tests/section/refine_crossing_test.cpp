// Crossing refinement: the step-size rule, the refined end, and the resolution verdict.
#include "section/refine_crossing.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "dynamics/rk4_step.hpp"

namespace {

constexpr double pi = 3.141592653589793;

model_params unit_model() {
  model_params m;
  m.L = 1.0f;
  set_model_constants(m);
  return m;
}

// A detected crossing step from t = 2*pi - before, with step size h.
integration_state crossing_step(const model_params& m, double before, double h) {
  integration_state s;
  s.t = 2 * pi - before;
  s.y = {0.4, 0.8};
  s.h = h;
  rk4_step(m, s);
  return s;
}

TEST(RefineCrossing, NoRetryWhenTheStepAlreadyEndsWithinEps) {
  const model_params m = unit_model();
  integration_state s = crossing_step(m, 0.3, 0.4);
  const integration_state before = s;
  const double s_prev = section_value(m, s.t, s.y);
  const double s_new = section_value(m, s.t_new, s.y_new);
  ASSERT_EQ(refine_crossing(m, 0.1, s, s_prev, s_new).stop, section_stop::done);
  EXPECT_EQ(s.h, before.h);
  EXPECT_EQ(s.y_new, before.y_new);
  EXPECT_EQ(s.t_new, before.t_new);
}

TEST(RefineCrossing, OvershootHalvesAndShortfallGrowsByHalf) {
  const model_params m = unit_model();
  // 0.4 overshoots 2*pi by 0.1 (halve to 0.2), 0.2 falls short by 0.1 (grow to 0.3), and
  // 0.3 ends on 2*pi within the double resolution.
  integration_state s = crossing_step(m, 0.3, 0.4);
  const double s_prev = section_value(m, s.t, s.y);
  const double s_new = section_value(m, s.t_new, s.y_new);
  ASSERT_EQ(refine_crossing(m, 1e-12, s, s_prev, s_new).stop, section_stop::done);
  EXPECT_EQ(s.h, 0.4 * 0.5 * 1.5);
}

TEST(RefineCrossing, RefinedEndIsTheFullTrialOfTheFinalStep) {
  const model_params m = unit_model();
  for (double before : {0.05, 0.2, 0.37, 0.9}) {
    integration_state s = crossing_step(m, before, 1.0);
    const double s_prev = section_value(m, s.t, s.y);
    const double s_new = section_value(m, s.t_new, s.y_new);
    ASSERT_EQ(refine_crossing(m, 1e-9, s, s_prev, s_new).stop, section_stop::done);
    EXPECT_LE(std::fabs(section_value(m, s.t_new, s.y_new)), 1e-9);
    integration_state fresh = s;
    rk4_step(m, fresh);
    EXPECT_EQ(fresh.y_new, s.y_new) << before;
    EXPECT_EQ(fresh.t_new, s.t_new) << before;
  }
}

TEST(ClosestSectionValue, NearTwoPiIsTheSineOfDoublePi) {
  const model_params m = unit_model();
  volatile double pi_double = pi;
  // The double nearest 2*pi lies just below it; its section value is sin(pi_double) > 0 and
  // the next double up is farther from the zero.
  EXPECT_EQ(closest_section_value(m, {}, 6.0, 6.5, 1e-30), std::sin(pi_double));
}

TEST(ClosestSectionValue, StopsAtTheFirstValueWithinEps) {
  const model_params m = unit_model();
  EXPECT_LE(std::fabs(closest_section_value(m, {}, 6.0, 6.5, 1e-6)), 1e-6);
}

TEST(RefineCrossing, UnreachableEpsStopsWithTheClosestValue) {
  const model_params m = unit_model();
  integration_state s = crossing_step(m, 0.3, 0.4);
  const double s_prev = section_value(m, s.t, s.y);
  const double s_new = section_value(m, s.t_new, s.y_new);
  const section_outcome o = refine_crossing(m, 1e-20, s, s_prev, s_new);
  volatile double pi_double = pi;
  EXPECT_EQ(o.stop, section_stop::refinement_unreachable);
  EXPECT_EQ(o.detail, std::sin(pi_double));
  EXPECT_EQ(o.t, 2 * pi - 0.3);
}

}  // namespace
