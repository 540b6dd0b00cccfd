// The verdict on real orbits of the precise method, checked by routes that do not use the
// tangent: an integrable model, and the separation of two nearby orbits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "chaos/chaos_accumulator.hpp"
#include "dynamics/constants.hpp"
#include "model_fixture.hpp"
#include "precise/precise_advance.hpp"

namespace {

constexpr int periods = 300;  // enough for a verdict (NOTES-chaos.md)

precise_config config(bool tangent) {
  precise_config c;
  c.tol = 1e-13;
  c.tangent = tangent;
  return c;
}

// The indicator over `periods` periods from y0 = (phi0, r L).
chaos_summary indicator(const model_params& m, double phi0, double r) {
  const precise_config c = config(true);
  precise_state s = precise_start(m, c, {phi0, r * static_cast<double>(m.L)});
  chaos_accumulator a;
  for (int k = 0; k <= periods; ++k) {
    EXPECT_EQ(precise_advance(m, c, s), precise_stop::done);
    chaos_record_point(a, s.tangent);
  }
  return chaos_finish(a, 4.0 * pi / static_cast<double>(m.omega));
}

// Largest distance in (phi, l / L) over `periods` points between the orbits from y0 and from
// y0 with l moved by 1e-10: linear growth on a torus, exponential in a chaotic layer.
double separation(const model_params& m, double phi0, double r) {
  const precise_config c = config(false);
  const double L = static_cast<double>(m.L);
  precise_state a = precise_start(m, c, {phi0, r * L});
  precise_state b = precise_start(m, c, {phi0, r * L + 1e-10});
  double largest = 0.0;
  for (int k = 0; k < periods; ++k) {
    EXPECT_EQ(precise_advance(m, c, a), precise_stop::done);
    EXPECT_EQ(precise_advance(m, c, b), precise_stop::done);
    largest =
        std::max(largest, std::hypot(std::remainder(a.phi - b.phi, 2.0 * pi), (a.l - b.l) / L));
  }
  return largest;
}

// Without forcing the model is integrable: every orbit lies on a curve and none is chaotic.
TEST(ChaosOrbits, IntegrableModelIsRegularEverywhere) {
  model_params m = model_with_L(5.0f);
  m.p_e = 0.0f;
  for (double phi0 : {0.4, 1.7, 2.9, 4.2, 5.5}) {
    for (double r : {-1.1, -0.45, 0.2, 0.75}) {
      const chaos_summary y = indicator(m, phi0, r);
      EXPECT_TRUE(y.computed);
      EXPECT_FALSE(y.chaotic) << phi0 << " " << r << ": " << y.megno;
    }
  }
}

// At L = 5 the layer around the separatrix through (0, 0) and (pi, 0) is chaotic: nearby
// orbits part from 1e-10 to the size of the plane, which no linear drift reaches.
TEST(ChaosOrbits, LayerAroundTheSeparatrixIsChaotic) {
  const model_params m = model_with_L(5.0f);
  for (const auto& [phi0, r] : {std::pair{0.0, 0.05}, {0.2, 0.16}, {2.95, 0.0}, {3.34, -0.16}}) {
    EXPECT_GT(separation(m, phi0, r), 1e-2) << phi0 << " " << r;
    const chaos_summary y = indicator(m, phi0, r);
    EXPECT_TRUE(y.chaotic) << phi0 << " " << r << ": " << y.megno;
    EXPECT_GT(y.lyapunov, 0.005) << phi0 << " " << r;
  }
}

// Small librations around the elliptic points (pi/2, 0) and (3 pi/2, 0), and rotations far
// from the separatrix: nearby orbits stay within a linear drift of 1e-10.
TEST(ChaosOrbits, LibrationsAndRotationsAreRegular) {
  const model_params m = model_with_L(5.0f);
  for (const auto& [phi0, r] : {std::pair{pi / 2 + 0.05, 0.0},
                                {3 * pi / 2, 0.02},
                                {pi / 2, 0.9},
                                {0.5, 1.1},
                                {4.0, -0.7}}) {
    EXPECT_LT(separation(m, phi0, r), 1e-6) << phi0 << " " << r;
    const chaos_summary y = indicator(m, phi0, r);
    EXPECT_FALSE(y.chaotic) << phi0 << " " << r << ": " << y.megno;
    EXPECT_LT(y.lyapunov, 0.002) << phi0 << " " << r;
  }
}

}  // namespace
