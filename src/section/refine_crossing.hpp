// Refinement of a step that crosses the section, until its end lies on the section within eps.
#pragma once

#include <atomic>

#include "dynamics/integration_state.hpp"
#include "dynamics/model.hpp"
#include "dynamics/rk4_step.hpp"
#include "section/section_outcome.hpp"

// Retries the step from the unchanged (t, y) with h halved after an overshoot (s_prev * s_new
// < 0) and multiplied by 1.5 otherwise, until |s_new| <= eps. On entry t_new, y_new hold the
// crossing step and s_new its section value; on return (done) they hold the refined end and h
// the refined step size, and s_new the section value there. `k` holds the rates at (t, y).
// Stops early, with the reason, when eps cannot be reached, and with cancelled once *cancel
// is set (checked every retry).
section_outcome refine_crossing(trial_kernel& k, const model_params& m, double eps,
                                integration_state& s, double s_prev, double& s_new,
                                const std::atomic<bool>* cancel = nullptr);

// Section value closest to zero over the doubles between t_short (section value > 0) and
// t_over (< 0), found by bisection on the doubles; stops as soon as one is within eps.
double closest_section_value(const model_params& m, const integration_state& s, double t_short,
                             double t_over, double eps);
