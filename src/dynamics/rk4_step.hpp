// One trial step of the classical fourth-order Runge-Kutta scheme with its error estimate.
#pragma once

#include "dynamics/integration_state.hpp"
#include "dynamics/model.hpp"

// Reads t, y and h of `s`; writes only t_new = t + h and y_new. Returns the error estimate
// max over the components of 2 * |k1 - k2 - k3 + k4| / 3; never negative, never NaN (a NaN
// component estimate is skipped).
double rk4_step(const model_params& m, integration_state& s);
