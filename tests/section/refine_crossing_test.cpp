// Crossing refinement: the step-size rule, the refined end, and the resolution verdict.
#include "section/refine_crossing.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "dynamics/constants.hpp"
#include "dynamics/rk4_step.hpp"
#include "model_fixture.hpp"

namespace {

// A detected crossing step from t = 2*pi - before, with step size h, and its kernel.
struct crossing {
  trial_kernel k;
  integration_state s;
  double s_prev = 0.0;
  double s_new = 0.0;

  section_outcome refine(const model_params& m, double eps) {
    return refine_crossing(k, m, eps, s, s_prev, s_new);
  }
};

crossing crossing_step(const model_params& m, double before, double h) {
  crossing c{make_trial_kernel(m), {}};
  c.s.t = 2 * pi - before;
  c.s.y = {0.4, 0.8};
  c.s.h = h;
  begin_step(c.k, c.s);
  trial_step(c.k, c.s);
  c.s_prev = section_value(m, c.s.t, c.s.y);
  c.s_new = section_value(m, c.s.t_new, c.s.y_new);
  return c;
}

TEST(RefineCrossing, NoRetryWhenTheStepAlreadyEndsWithinEps) {
  const model_params m = model_with_L();
  crossing c = crossing_step(m, 0.3, 0.4);
  const integration_state before = c.s;
  const double s_new = c.s_new;
  ASSERT_EQ(c.refine(m, 0.1).stop, section_stop::done);
  EXPECT_EQ(c.s.h, before.h);
  EXPECT_EQ(c.s.y_new, before.y_new);
  EXPECT_EQ(c.s.t_new, before.t_new);
  EXPECT_EQ(c.s_new, s_new);
}

TEST(RefineCrossing, OvershootHalvesAndShortfallGrowsByHalf) {
  const model_params m = model_with_L();
  // 0.4 overshoots 2*pi by 0.1 (halve to 0.2), 0.2 falls short by 0.1 (grow to 0.3), and
  // 0.3 ends on 2*pi within the double resolution.
  crossing c = crossing_step(m, 0.3, 0.4);
  ASSERT_EQ(c.refine(m, 1e-12).stop, section_stop::done);
  EXPECT_EQ(c.s.h, 0.4 * 0.5 * 1.5);
}

TEST(RefineCrossing, RefinedEndIsTheFullTrialOfTheFinalStep) {
  const model_params m = model_with_L();
  for (double before : {0.05, 0.2, 0.37, 0.9}) {
    crossing c = crossing_step(m, before, 1.0);
    ASSERT_EQ(c.refine(m, 1e-9).stop, section_stop::done);
    EXPECT_LE(std::fabs(c.s_new), 1e-9);
    EXPECT_EQ(c.s_new, section_value(m, c.s.t_new, c.s.y_new));
    integration_state fresh = c.s;
    rk4_step(m, fresh);
    EXPECT_EQ(fresh.y_new, c.s.y_new) << before;
    EXPECT_EQ(fresh.t_new, c.s.t_new) << before;
  }
}

TEST(ClosestSectionValue, NearTwoPiIsTheSineOfDoublePi) {
  const model_params m = model_with_L();
  volatile double pi_double = pi;
  // The double nearest 2*pi lies just below it; its section value is sin(pi_double) > 0 and
  // the next double up is farther from the zero.
  EXPECT_EQ(closest_section_value(m, {}, 6.0, 6.5, 1e-30), std::sin(pi_double));
}

TEST(ClosestSectionValue, StopsAtTheFirstValueWithinEps) {
  const model_params m = model_with_L();
  EXPECT_LE(std::fabs(closest_section_value(m, {}, 6.0, 6.5, 1e-6)), 1e-6);
}

TEST(RefineCrossing, UnreachableEpsStopsWithTheClosestValue) {
  const model_params m = model_with_L();
  crossing c = crossing_step(m, 0.3, 0.4);
  const section_outcome o = c.refine(m, 1e-20);
  volatile double pi_double = pi;
  EXPECT_EQ(o.stop, section_stop::refinement_unreachable);
  EXPECT_EQ(o.detail, std::sin(pi_double));
  EXPECT_EQ(o.t, 2 * pi - 0.3);
}

}  // namespace
