// The forced rigid-body model: its constants, right-hand side and section function.
#pragma once

#include <array>

// Single-precision constants of the model; each is widened to double where it is used. Their
// defaults, names and valid values are in dynamics/model_rules.hpp.
struct model_params {
  float p_a = 0.0f;
  float p_b = 0.0f;
  float p_c = 0.0f;
  float p_d = 0.0f;
  float p_e = 0.0f;    // forcing amplitude
  float omega = 0.0f;  // angular frequency of the forcing and of the section
  float L = 0.0f;      // reference value of l, from ini.txt
};

// Doubles derived once from model_params by the very operations the right-hand side performs.
struct rate_constants {
  double omega = 0.0;
  double inv_p_a = 0.0;  // 1.0 / p_a
  double p_bc = 0.0;     // p_b + p_c
  double p_bd = 0.0;     // p_b + p_d
  double forcing = 0.0;  // (p_e / p_a) / omega
  double v = 0.0;        // 1.0 / (p_b + p_d) - 1.0 / (p_b + p_c)
  double LL = 0.0;       // L * L
};

rate_constants derive_rate_constants(const model_params& m);

// Both components of the right-hand side at state x, given sin(omega * t) for the time t.
std::array<double, 2> rates(const rate_constants& c, double sin_omega_t,
                            const std::array<double, 2>& x);

// Time derivative of y[component] (0: phi, 1: l) at (t, y); 0.0 for any other component.
double rhs(const model_params& m, int component, double t, const std::array<double, 2>& y);

// sin(omega * t / 2): passes from positive to negative once every two forcing periods.
// The state is accepted for the shape of the call but not read.
double section_value(const model_params& m, double t, const std::array<double, 2>& y);
