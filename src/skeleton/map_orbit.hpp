// Iterates of the stroboscopic map F (one section point to the next, 4 pi / omega) from a point
// of the section, with the monodromy matrix of the iterates from the tangent equations.
#pragma once

#include <array>
#include <vector>

#include "dynamics/model.hpp"
#include "precise/precise_state.hpp"

using matrix2 = std::array<std::array<double, 2>, 2>;

struct map_orbit {
  std::vector<std::array<double, 2>> points;  // F^1(x) .. F^n(x): phi in [0, 2 pi), l
  matrix2 monodromy{};                        // DF^n at x; column j is the image of e_j
  precise_stop stop = precise_stop::done;     // why the iteration ended early, if it did
  precise_state last;                         // the state where it ended
};

// Follows x = (phi, l), taken as a point of the section, through n periods of the map in the
// direction c.direction (F^-1 backward) with c.tol; c.tangent is not read. The two columns of
// the monodromy are two tangent vectors carried through the same steps.
map_orbit follow_map(const model_params& m, const precise_config& c, const std::array<double, 2>& x,
                     int n);

// a - b for two angles, brought into [-pi, pi): the difference on the circle.
double angle_difference(double a, double b);
