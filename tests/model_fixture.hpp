// The model with its fixed constants and a chosen L, as the driver sets it up.
#pragma once

#include "dynamics/model_rules.hpp"

inline model_params model_with_L(float L = 1.0f) {
  model_params m = default_model();
  m.L = L;
  return m;
}
