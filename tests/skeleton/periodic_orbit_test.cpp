// Periodic orbits: fixed points known in closed form, the monodromy against finite differences
// of the map, the minimal period, and stability against what nearby orbits actually do.
#include "skeleton/periodic_orbit.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "dynamics/constants.hpp"
#include "dynamics/model_rules.hpp"
#include "skeleton/skeleton_fixture.hpp"

namespace {

double distance(const std::array<double, 2>& a, const std::array<double, 2>& b) {
  return std::hypot(angle_difference(a[0], b[0]), a[1] - b[1]);
}

// Largest distance from x over n periods of the orbit that starts at x + (d, 0).
double spread(const model_params& m, const std::array<double, 2>& x, double d, int n) {
  const map_orbit o = follow_map(m, skeleton_config(), {x[0] + d, x[1]}, n);
  double far = 0.0;
  for (const auto& p : o.points) {
    far = std::fmax(far, distance(p, x));
  }
  return far;
}

TEST(PeriodicOrbit, UnforcedSaddleHasTheMultipliersOfItsLinearisation) {
  // At e = 0, (0, 0) is an equilibrium: phi' = A(0) l, l' = -v L^2 phi to first order, so
  // lambda^2 = A(0) (-v) L^2 and the multipliers over 4 pi are exp(+-lambda 4 pi).
  for (const int direction : {1, -1}) {
    const periodic_orbit o = find_periodic_orbit(skeleton_model(1.0f, 0.0f),
                                                 skeleton_config(direction), {0.05, 0.02}, 1);
    ASSERT_TRUE(o.converged) << o.reason;
    EXPECT_LT(distance(o.x, {0.0, 0.0}), 1e-13);
    const double A0 = 1.0 / 6.0 - 1.0 / 13.0;
    const double v = 1.0 / 20.0 - 1.0 / 13.0;
    const double mu = std::exp(std::sqrt(A0 * -v) * 4.0 * 3.141592653589793);
    EXPECT_EQ(o.stability.kind, orbit_kind::hyperbolic);
    EXPECT_NEAR(o.stability.mu[0][0], mu, 1e-9 * mu);
    EXPECT_NEAR(o.stability.mu[1][0], 1.0 / mu, 1e-9);
    EXPECT_NEAR(o.stability.residue, (2.0 - (mu + 1.0 / mu)) / 4.0, 1e-9);
  }
}

TEST(PeriodicOrbit, FoundOrbitsCloseUpPreserveAreaAndMatchFiniteDifferences) {
  const model_params m = skeleton_model(5.0f, 0.4f);
  const std::array<double, 2> guesses[] = {{1.5, 2.0}, {0.0, 0.0}, {0.0, 2.75}, {1.5, 0.5}};
  for (const int Q : {1, 3, 5, 20}) {
    for (const auto& g : guesses) {
      const periodic_orbit o = find_periodic_orbit(m, skeleton_config(), g, Q);
      if (!o.converged) {
        continue;
      }
      SCOPED_TRACE(testing::Message() << "Q " << Q << " q " << o.q);
      EXPECT_EQ(Q % o.q, 0);
      ASSERT_EQ(o.points.size(), static_cast<std::size_t>(o.q));
      EXPECT_LE(o.residual, 1e-11);
      EXPECT_NEAR(o.stability.det, 1.0, 1e-10);
      // The points are the orbit: each is the map's image of the one before, and q is minimal.
      const map_orbit images = follow_map(m, skeleton_config(), o.x, o.q);
      for (int j = 0; j < o.q; ++j) {
        const auto& next = o.points[static_cast<std::size_t>((j + 1) % o.q)];
        EXPECT_LT(distance(images.points[static_cast<std::size_t>(j)], next), 1e-10);
        if (j + 1 < o.q) {
          EXPECT_GT(distance(o.points[static_cast<std::size_t>(j + 1)], o.x), 1e-6);
        }
      }
      // catches: a monodromy column swapped, transposed or taken from the wrong lane
      const double h = 1e-6;
      for (int col = 0; col < 2; ++col) {
        std::array<double, 2> plus = o.x;
        std::array<double, 2> minus = o.x;
        plus[static_cast<std::size_t>(col)] += h;
        minus[static_cast<std::size_t>(col)] -= h;
        const auto fp = follow_map(m, skeleton_config(), plus, o.q).points.back();
        const auto fm = follow_map(m, skeleton_config(), minus, o.q).points.back();
        const double scale = 1.0 + std::fabs(o.stability.trace);
        EXPECT_NEAR(angle_difference(fp[0], fm[0]) / (2 * h),
                    images.monodromy[0][static_cast<std::size_t>(col)], 1e-5 * scale);
        EXPECT_NEAR((fp[1] - fm[1]) / (2 * h), images.monodromy[1][static_cast<std::size_t>(col)],
                    1e-5 * scale);
      }
    }
  }
}

TEST(PeriodicOrbit, MinimalPeriodOfAFixedPointAskedForPeriodTwoIsOne) {
  const periodic_orbit o =
      find_periodic_orbit(skeleton_model(5.0f, 0.4f), skeleton_config(), {1.5708, 0.0}, 2);
  ASSERT_TRUE(o.converged) << o.reason;
  EXPECT_EQ(o.q, 1);
  EXPECT_EQ(o.points.size(), 1u);
  EXPECT_LE(o.residual, 1e-11);
}

TEST(PeriodicOrbit, IslandCentreIsEllipticAndThePinchOfTheChaoticLayerHyperbolic) {
  // The verdicts against the orbits themselves: near an elliptic point a neighbour stays
  // close; near a hyperbolic one it leaves.
  const model_params m = skeleton_model(5.0f, 0.4f);
  const periodic_orbit centre = find_periodic_orbit(m, skeleton_config(), {1.5708, 0.0}, 1);
  const periodic_orbit pinch = find_periodic_orbit(m, skeleton_config(), {0.0, 0.0}, 1);
  ASSERT_TRUE(centre.converged && pinch.converged);
  EXPECT_EQ(centre.stability.kind, orbit_kind::elliptic);
  EXPECT_GT(centre.stability.residue, 0.0);
  EXPECT_LT(centre.stability.residue, 1.0);
  EXPECT_LT(spread(m, centre.x, 1e-4, 200), 1e-3);
  EXPECT_EQ(pinch.stability.kind, orbit_kind::hyperbolic);
  EXPECT_LT(pinch.stability.residue, 0.0);
  EXPECT_GT(spread(m, pinch.x, 1e-4, 10), 1e-2);
}

TEST(PeriodicOrbit, GuessWithNoOrbitNearbyIsReportedNotConverged) {
  // On the invariant line l = L the map is close to a twist without a nearby fixed point.
  const periodic_orbit o =
      find_periodic_orbit(skeleton_model(5.0f, 0.4f), skeleton_config(), {0.5, 5.0}, 1);
  EXPECT_FALSE(o.converged);
  EXPECT_FALSE(o.reason.empty());
  EXPECT_TRUE(o.points.empty());
}

}  // namespace
