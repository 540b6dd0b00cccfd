// The trial step, one stage of the scheme per loop, in the documented order of operations.
#include "dynamics/rk4_step.hpp"

#include <array>
#include <cmath>

double rk4_step(const model_params& m, integration_state& s) {
  const double t = s.t;
  const double h = s.h;
  const std::array<double, 2>& y = s.y;
  std::array<double, 2> k1{};
  std::array<double, 2> k2{};
  std::array<double, 2> k3{};
  std::array<double, 2> k4{};
  std::array<double, 2> x_k1{};
  std::array<double, 2> x_k2{};
  std::array<double, 2> x_k3{};

  for (int i = 0; i < 2; ++i) {
    k1[i] = rhs(m, i, t, y) * h;
    x_k1[i] = 0.5 * k1[i] + y[i];
  }
  for (int i = 0; i < 2; ++i) {
    k2[i] = rhs(m, i, 0.5 * h + t, x_k1) * h;
    x_k2[i] = 0.5 * k2[i] + y[i];
  }
  for (int i = 0; i < 2; ++i) {
    k3[i] = rhs(m, i, 0.5 * h + t, x_k2) * h;
    x_k3[i] = y[i] + k3[i];
  }
  for (int i = 0; i < 2; ++i) {
    k4[i] = rhs(m, i, t + h, x_k3) * h;
  }
  for (int i = 0; i < 2; ++i) {
    s.y_new[i] = (2.0 * k2[i] + k1[i] + 2.0 * k3[i] + k4[i]) / 6.0 + y[i];
  }
  s.t_new = t + h;

  double max = 0.0;
  for (int i = 0; i < 2; ++i) {
    const double e = 2.0 * std::fabs(k1[i] - k2[i] - k3[i] + k4[i]) / 3.0;
    // Strictly greater replaces: a NaN estimate leaves max as it is.
    if (max < e) {
      max = e;
    }
  }
  return max;
}
