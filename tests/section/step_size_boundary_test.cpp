// The step-size control at its two boundaries, where only the comparison operators decide:
// an error estimate equal to tol is accepted as it is, and one equal to tol / 8 doubles the
// step. tol is set from the estimate itself, so both equalities hold exactly; the expected
// step sizes follow from the rule alone, not from the oracle, which shares the comparisons.
#include <gtest/gtest.h>

#include "model_fixture.hpp"
#include "section/section_map.hpp"

namespace {

// h = 4 is far outside the asymptotic range: halving it shrinks the estimate less than
// 8-fold, so a wrongly halved step is not doubled back to 4 by the growth loop.
constexpr double h_start = 4.0;

struct boundary_case {
  trial_kernel k;
  integration_state s;
  double err_h = 0.0;      // estimate of the trial with h_start
  double err_half = 0.0;   // estimate of the trial with h_start / 2
  double err_twice = 0.0;  // estimate of the trial with 2 h_start
};

boundary_case make_case() {
  const model_params m = model_with_L(1.0f);
  boundary_case c{make_trial_kernel(m), {}, 0.0, 0.0, 0.0};
  c.s.y = {1.0, 1.0};
  begin_step(c.k, c.s);
  for (auto [h, err] : {std::pair{h_start, &c.err_h},
                        {h_start / 2.0, &c.err_half},
                        {2.0 * h_start, &c.err_twice}}) {
    c.s.h = h;
    *err = trial_step(c.k, c.s);
  }
  c.s.h = h_start;
  return c;
}

double accepted_h(boundary_case& c, double tol) {
  run_config config;
  config.tol = tol;
  EXPECT_EQ(accept_step(c.k, config, c.s), section_stop::done);
  return c.s.h;
}

// catches: `while (tol <= err)` in the halving loop.
TEST(StepSizeBoundary, ErrorEqualToTolIsAcceptedUnchanged) {
  boundary_case c = make_case();
  ASSERT_GT(c.err_half, c.err_h / 8.0);  // the premise above
  EXPECT_EQ(accepted_h(c, c.err_h), h_start);
  EXPECT_EQ(c.s.t_new, h_start);
}

// catches: `while (err < tol / 8)` in the growth loop. tol = 8 err is exact, so tol / 8 is
// err; the doubled trial's larger estimate ends the growth at 2 h_start.
TEST(StepSizeBoundary, ErrorEqualToAnEighthOfTolDoublesTheStep) {
  boundary_case c = make_case();
  ASSERT_GT(c.err_twice, c.err_h);
  EXPECT_EQ(accepted_h(c, 8.0 * c.err_h), 2.0 * h_start);
  EXPECT_EQ(c.s.t_new, 2.0 * h_start);
}

}  // namespace
