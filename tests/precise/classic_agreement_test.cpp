// Where both methods apply they agree: the classic loop's refined crossing, which lies on the
// section within eps, is the precise method's point to the classic method's own accuracy.
#include <gtest/gtest.h>

#include <cmath>

#include "model_fixture.hpp"
#include "precise/precise_advance.hpp"
#include "section/section_map.hpp"

namespace {

TEST(ClassicAgreement, RefinedCrossingsAreThePrecisePoints) {
  const model_params m = model_with_L(1.5f);
  run_config config;
  config.tol = 1e-12;
  config.eps = 1e-10;
  precise_config c;
  c.tol = 1e-14;
  for (const std::array<double, 2> y0 : {std::array{0.3, 0.9}, std::array{2.0, -1.4}}) {
    integration_state s;
    s.y = y0;
    s.h = 0.01;
    precise_state p = precise_start(m, c, y0);
    point_list ignored;
    for (int k = 1; k <= 10; ++k) {
      config.n_points = k;
      ASSERT_EQ(run_section_map(m, config, s, ignored).stop, section_stop::done);
      // After a crossing the loop goes on from the refined end of the crossing step. A
      // refinement that ends short of the zero counts that zero twice, so the section point is
      // found from the time.
      const auto zero = std::lround((s.t / two_pi - 1.0) / 2.0);
      ASSERT_LT(std::fabs(s.t - (2.0 * static_cast<double>(zero) + 1.0) * two_pi), 1e-9);
      while (p.k <= zero) {
        ASSERT_EQ(precise_advance(m, c, p), precise_stop::done);
      }
      const section_point classic = to_section_point(s.y, m.L);
      const section_point precise = precise_point(p, m.L);
      const double dphi = std::remainder(classic[0] - precise[0], two_pi);
      EXPECT_LT(std::fabs(dphi), 1e-7) << k;
      EXPECT_LT(std::fabs(classic[1] - precise[1]), 1e-7) << k;
    }
  }
}

}  // namespace
