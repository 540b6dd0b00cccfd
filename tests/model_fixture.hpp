// The model with its fixed constants and a chosen L, as the driver sets it up, and models with
// random constants.
#pragma once

#include <cmath>
#include <random>

#include "dynamics/model_rules.hpp"

inline model_params model_with_L(float L = 1.0f) {
  model_params m = default_model();
  m.L = L;
  return m;
}

// A model with every constant drawn where the equations are meaningful and a precise run ends
// normally: a in [2, 10], b in [3, 8], c in [5, 12], d in [10, 20], e in [0, 0.6], and omega
// of either sign with |omega| log-uniform in [omega_min, omega_max].
inline model_params random_model(std::mt19937_64& g, float L, double omega_min, double omega_max) {
  const auto in = [&](double from, double to) {
    return static_cast<float>(std::uniform_real_distribution<double>(from, to)(g));
  };
  model_params m;
  m.p_a = in(2.0, 10.0);
  m.p_b = in(3.0, 8.0);
  m.p_c = in(5.0, 12.0);
  m.p_d = in(10.0, 20.0);
  m.p_e = in(0.0, 0.6);
  const float size = std::exp(in(std::log(omega_min), std::log(omega_max)));
  m.omega = std::bernoulli_distribution(0.5)(g) ? -size : size;
  m.L = L;
  return m;
}
