// An independent reference for the precise method: a fixed-step Taylor integrator of the
// model in its original form, in __float128, with global time and unreduced phi.
#pragma once

#include <array>
#include <vector>

#include "dynamics/model.hpp"

// The first n_points section points from (phi0, l0) at t = 0, forward (direction > 0, at
// t_k = (4k+2)pi/omega) or backward (at -4(k+1)pi/omega), each as (phi in [0, 2pi), l / L).
// Each segment between points is cut into steps_per_segment equal steps of order 32.
std::vector<std::array<double, 2>> reference_points(const model_params& m, int direction,
                                                    const std::array<double, 2>& y0, int n_points,
                                                    int steps_per_segment);
