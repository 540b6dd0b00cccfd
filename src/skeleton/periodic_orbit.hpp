// Periodic orbits of the stroboscopic map by Newton's method on F^Q(x) - x.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "dynamics/model.hpp"
#include "precise/precise_state.hpp"
#include "skeleton/orbit_stability.hpp"

// The longest period searched for (--periodic, the module): beyond it Newton's method has no
// basin worth the name.
constexpr int max_periodic_period = 1000;
// Newton stops once the residual is this small: the rounding floor of phi and l near L = 5.
constexpr double newton_goal = 1e-13;
// A residual up to this counts as converged when Newton stalls above newton_goal.
constexpr double converged_residual = 1e-11;
// Iterations before Newton gives up.
constexpr int max_newton_iterations = 40;
// A point returns after d periods when it lies this close to where it started.
constexpr double return_distance = 1e-8;
// Newton steps longer than this are shortened to it: far from the orbit the linear model of
// the map is not to be trusted across a whole island.
constexpr double max_newton_step = 0.5;

struct periodic_orbit {
  bool converged = false;
  std::string reason;         // why not, when not converged
  int q = 0;                  // minimal period, a divisor of the Q asked for
  std::array<double, 2> x{};  // phi* in [0, 2 pi), l*; the last iterate when not converged
  double residual = 0.0;      // |F^q(x*) - x*|, the phi difference taken on the circle
  int iterations = 0;         // Newton steps taken
  orbit_stability stability;  // of M = DF^q at x*
  std::vector<std::array<double, 2>> points;  // x*, F(x*), .., F^(q-1)(x*) when converged
};

// Searches, from the guess x0, for a point of period Q (Q >= 1) of the map F (F^-1 when
// c.direction < 0), integrating with c.tol. Reports the orbit's minimal period q and the
// stability of F^q there.
periodic_orbit find_periodic_orbit(const model_params& m, const precise_config& c,
                                   const std::array<double, 2>& x0, int Q);
