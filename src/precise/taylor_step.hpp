// One Taylor step of one lane: its size, the landing on the section point, the compensated
// update of the state, and the guards that stop a run that cannot finish.
#pragma once

#include <cstdint>

#include "precise/precise_state.hpp"
#include "precise/taylor_series.hpp"

// Length of the segment that ends at section point k, as a double plus its rounding error:
// 2*pi/|omega| for the first point when direction and omega have the same sign, 4*pi/|omega|
// otherwise, negative backward. The points are where sin(omega t / 2) passes from positive to
// negative in the direction of integration: t_k = (4k+2)pi/omega or t_k = 4(k+1)pi/|omega|
// times the direction.
struct segment_length {
  double hi = 0.0;
  double lo = 0.0;
};

segment_length segment_to_point(const series_constants& c, int direction, std::int64_t k);

// The step size the tolerance allows from coefficients of orders p - 1 and p: the largest h
// with |x[p-1]| h^(p-1) <= tol_rate h and |x[p]| h^p <= tol_rate h for x = phi and x = l.
double tolerance_step(const series_constants& c, double phi_pm1, double phi_p, double l_pm1,
                      double l_p);

// The step a lane takes from its local time tau.
struct step_plan {
  double h = 0.0;        // signed step size; 0 when the lane stops instead
  double tau_new = 0.0;  // local time after the step
  double time_lo = 0.0;  // landing only: true remaining time minus h, from rounding
  bool lands = false;    // the step ends on the section point
  precise_stop stop = precise_stop::done;
};

// Plans the step from s.tau given the tolerance step h_tol (stored in s.h): the tolerance
// step, or the rest of the segment when that is not longer. Stops on a collapsed step or
// when steps_here reached max_precise_steps.
step_plan plan_step(int direction, const segment_length& span, double h_tol,
                    std::int64_t steps_here, precise_state& s);

// Adds the increments to the state with compensation and reduces phi, or returns
// state_not_finite and leaves s as it was. A landing step also moves s to the next point.
precise_stop commit_step(const step_plan& plan, double d_phi, double d_l, double d_u, double d_w,
                         precise_state& s);
