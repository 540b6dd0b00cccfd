// Rotation numbers: the unforced model against a quadrature along the level curve of H, an
// island chain against p/q, the centre of an island against its multipliers, backward time.
#include "skeleton/rotation_number.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "dynamics/constants.hpp"
#include "dynamics/model_rules.hpp"
#include "skeleton/periodic_orbit.hpp"
#include "skeleton/skeleton_fixture.hpp"

namespace {

double A(double phi) {
  const double c = std::cos(phi);
  const double s = std::sin(phi);
  return 1.0 / 6.0 - c * c / 13.0 - s * s / 20.0;
}

// At e = 0, H = A(phi) (l^2 - L^2) / 2 is constant, so on the orbit through (phi0, l0)
// l(phi)^2 = L^2 + (l0^2 - L^2) A(phi0) / A(phi), and a circulation of phi takes
// T = integral over a turn of dphi / (A l). The integrand is smooth and periodic: the
// trapezoidal rule converges geometrically. Turns of phi per period 4 pi.
double quadrature_rotation(double L, double phi0, double l0) {
  const int n = 4000;
  double T = 0.0;
  for (int i = 0; i < n; ++i) {
    const double phi = 2.0 * pi * i / n;
    const double l = std::copysign(std::sqrt(L * L + (l0 * l0 - L * L) * A(phi0) / A(phi)), l0);
    T += (2.0 * pi / n) / (A(phi) * l);
  }
  return 4.0 * pi / T;
}

TEST(RotationNumber, UnforcedCirculationAgreesWithQuadratureForwardAndBackward) {
  // Rotations below and above 1/2 and above 1, of either sign: a turn lost or counted twice
  // in the lift, or a wrong sign backward, moves the number by a whole unit or flips it.
  const float L = 5.0f;
  const std::array<double, 2> starts[] = {
      {1.5, 2.6}, {1.5, 3.2}, {0.3, 5.6}, {2.0, 7.5}, {4.0, -6.5}};
  for (const auto& y0 : starts) {
    const double expected = quadrature_rotation(L, y0[0], y0[1]);
    for (const int direction : {1, -1}) {
      const rotation_summary r =
          measure_rotation(skeleton_model(L, 0.0f), skeleton_config(direction), y0, 1000);
      ASSERT_TRUE(r.computed);
      EXPECT_EQ(r.kind, rotation_kind::circulating);
      EXPECT_NEAR(r.rotation, direction * expected, 1e-11) << y0[0] << " " << y0[1];
      EXPECT_GT(r.digits, 9.0);
    }
  }
  EXPECT_GT(quadrature_rotation(L, 2.0, 7.5), 1.0);
  EXPECT_LT(quadrature_rotation(L, 1.5, 2.6), 0.5);
}

TEST(RotationNumber, IslandChainOfPeriodFiveTurnsTwoFifths) {
  const model_params m = skeleton_model(5.0f, 0.4f);
  const periodic_orbit chain = find_periodic_orbit(m, skeleton_config(), {1.5, 2.0}, 5);
  ASSERT_TRUE(chain.converged) << chain.reason;
  ASSERT_EQ(chain.q, 5);
  ASSERT_EQ(chain.stability.kind, orbit_kind::elliptic);
  for (const double d : {1e-3, 1e-2}) {
    const std::array<double, 2> y0 = {chain.x[0] + d, chain.x[1]};
    const rotation_summary r = measure_rotation(m, skeleton_config(), y0, 1000);
    EXPECT_EQ(r.kind, rotation_kind::librating);
    // Clockwise about the centre of the whole chain, two fifths of a turn a period.
    EXPECT_NEAR(r.rotation, 0.4, 1e-10);
    // Backward the same turning counts the other way: 3/5 modulo 1.
    EXPECT_NEAR(measure_rotation(m, skeleton_config(-1), y0, 1000).rotation, 0.6, 1e-10);
  }
}

TEST(RotationNumber, NearAnIslandCentreItIsTheAngleOfTheMultipliers) {
  // Close to an elliptic point the map turns by the angle theta of its multipliers
  // exp(+-i theta); clockwise here, and above one half, so 1 - theta / 2 pi.
  const model_params m = skeleton_model(5.0f, 0.4f);
  const periodic_orbit centre = find_periodic_orbit(m, skeleton_config(), {1.5708, 0.0}, 1);
  ASSERT_TRUE(centre.converged);
  const double theta = std::acos(centre.stability.trace / 2.0);
  const rotation_summary r =
      measure_rotation(m, skeleton_config(), {centre.x[0] + 1e-4, centre.x[1]}, 1000);
  EXPECT_EQ(r.kind, rotation_kind::librating);
  EXPECT_NEAR(r.rotation, 1.0 - theta / (2.0 * pi), 1e-7);
  EXPECT_GT(r.rotation, 0.5);
}

TEST(RotationNumber, HalvesAgreeOnRegularOrbitsAndNotInTheChaoticLayer) {
  const model_params m = skeleton_model(5.0f, 0.4f);
  for (const std::array<double, 2>& y0 : {std::array<double, 2>{0.0, 0.0}, {3.1416, 0.05}}) {
    const rotation_summary r = measure_rotation(m, skeleton_config(), y0, 1000);
    EXPECT_LT(r.digits, 3.0) << y0[0];
  }
  for (const std::array<double, 2>& y0 : {std::array<double, 2>{0.0, 4.5}, {1.5708, 0.0}}) {
    const rotation_summary r = measure_rotation(m, skeleton_config(), y0, 1000);
    EXPECT_GT(r.digits, 4.5) << y0[0];
  }
  // Too short an orbit gives no number.
  EXPECT_FALSE(
      measure_rotation(m, skeleton_config(), {0.0, 4.5}, min_rotation_points - 1).computed);
}

}  // namespace
