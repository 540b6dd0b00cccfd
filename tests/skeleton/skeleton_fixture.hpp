// The model and settings the skeleton's tests start from.
#pragma once

#include "dynamics/model_rules.hpp"
#include "precise/precise_state.hpp"

// The default constants with L and the forcing e set.
inline model_params skeleton_model(float L, float e) {
  model_params m = default_model();
  m.L = L;
  m.p_e = e;
  return m;
}

// The precise method at tol 1e-13 in the given direction of time.
inline precise_config skeleton_config(int direction = 1) {
  precise_config c;
  c.tol = 1e-13;
  c.direction = direction;
  return c;
}
