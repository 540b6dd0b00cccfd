// The model with its fixed constants and a chosen L, as the driver sets it up.
#pragma once

#include "dynamics/model.hpp"

inline model_params model_with_L(float L = 1.0f) {
  model_params m;
  m.L = L;
  set_model_constants(m);
  return m;
}
