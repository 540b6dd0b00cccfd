// Right-hand side and section function, evaluated in the documented order of operations.
#include "dynamics/model.hpp"

#include <cmath>

void set_model_constants(model_params& m) {
  m.p_d = 15.0f;
  m.p_c = 8.0f;
  m.p_a = 6.0f;
  m.p_b = 5.0f;
  m.omega = 1.0f;
  m.p_e = 0.4f;
}

namespace {

double phi_rate(const model_params& m, double t, const std::array<double, 2>& y) {
  const double p_a = static_cast<double>(m.p_a);
  const double p_b = static_cast<double>(m.p_b);
  const double p_c = static_cast<double>(m.p_c);
  const double p_d = static_cast<double>(m.p_d);
  const double p_e = static_cast<double>(m.p_e);
  const double omega = static_cast<double>(m.omega);
  double q = 1.0 / p_a;
  q = q - (std::cos(y[0]) * std::cos(y[0])) / (p_b + p_c);
  q = q - (std::sin(y[0]) * std::sin(y[0])) / (p_b + p_d);
  const double f = ((p_e / p_a) / omega) * std::sin(omega * t);
  return q * y[1] + f;
}

double l_rate(const model_params& m, const std::array<double, 2>& y) {
  const double p_b = static_cast<double>(m.p_b);
  const double p_c = static_cast<double>(m.p_c);
  const double p_d = static_cast<double>(m.p_d);
  const double L = static_cast<double>(m.L);
  // l^2 - L^2 is formed as the negation of L^2 - l^2; the rounding differs from l*l - L*L.
  const double u = -(L * L - y[1] * y[1]);
  const double v = 1.0 / (p_b + p_d) - 1.0 / (p_b + p_c);
  const double w = u * v;
  return std::cos(y[0]) * (std::sin(y[0]) * w);
}

}  // namespace

double rhs(const model_params& m, int component, double t, const std::array<double, 2>& y) {
  if (component == 0) {
    return phi_rate(m, t, y);
  }
  if (component == 1) {
    return l_rate(m, y);
  }
  return 0.0;
}

double section_value(const model_params& m, double t, const std::array<double, 2>& /*y*/) {
  return std::sin((static_cast<double>(m.omega) * t) / 2.0);
}
