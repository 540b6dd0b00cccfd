// Right-hand side and section function, evaluated in the documented order of operations.
#include "dynamics/model.hpp"

#include <cmath>
#include <cstddef>

rate_constants derive_rate_constants(const model_params& m) {
  const double p_a = static_cast<double>(m.p_a);
  const double p_b = static_cast<double>(m.p_b);
  const double p_c = static_cast<double>(m.p_c);
  const double p_d = static_cast<double>(m.p_d);
  const double p_e = static_cast<double>(m.p_e);
  const double L = static_cast<double>(m.L);
  rate_constants c;
  c.omega = static_cast<double>(m.omega);
  c.inv_p_a = 1.0 / p_a;
  c.p_bc = p_b + p_c;
  c.p_bd = p_b + p_d;
  c.forcing = (p_e / p_a) / c.omega;
  c.v = 1.0 / (p_b + p_d) - 1.0 / (p_b + p_c);
  c.LL = L * L;
  return c;
}

std::array<double, 2> rates(const rate_constants& c, double sin_omega_t,
                            const std::array<double, 2>& x) {
  // sin and cos of the one angle serve both components.
  const double sin_phi = std::sin(x[0]);
  const double cos_phi = std::cos(x[0]);
  double q = c.inv_p_a;
  q = q - (cos_phi * cos_phi) / c.p_bc;
  q = q - (sin_phi * sin_phi) / c.p_bd;
  const double f = c.forcing * sin_omega_t;
  // l^2 - L^2 is formed as the negation of L^2 - l^2; the rounding differs from l*l - L*L.
  const double u = -(c.LL - x[1] * x[1]);
  const double w = u * c.v;
  return {q * x[1] + f, cos_phi * (sin_phi * w)};
}

double rhs(const model_params& m, int component, double t, const std::array<double, 2>& y) {
  if (component != 0 && component != 1) {
    return 0.0;
  }
  const double omega = static_cast<double>(m.omega);
  return rates(derive_rate_constants(m), std::sin(omega * t),
               y)[static_cast<std::size_t>(component)];
}

double section_value(const model_params& m, double t, const std::array<double, 2>& /*y*/) {
  return std::sin((static_cast<double>(m.omega) * t) / 2.0);
}
