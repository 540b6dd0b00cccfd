// The precise method for one condition: the state on each section point, to a tolerance.
#pragma once

#include <array>

#include "dynamics/model.hpp"
#include "precise/precise_state.hpp"

// The state at t = 0 before the first point: phi0 reduced to [0, 2*pi), l0, and the tangent
// vector (1, 0) when c.tangent is set.
precise_state precise_start(const model_params& m, const precise_config& c,
                            const std::array<double, 2>& y0);

// Integrates from the current section point (or t = 0) to the next one, t_k with k = s.k, and
// leaves that point in s with s.k increased. The forcing is taken in time since the last
// point, which is exact since omega t_k is a multiple of 2*pi. On any other stop s holds the
// last state reached, tau after that point.
precise_stop precise_advance(const model_params& m, const precise_config& c, precise_state& s);

// The point as the program writes it: phi in [0, 2*pi) and l / L (L widened to double).
std::array<double, 2> precise_point(const precise_state& s, float L);
