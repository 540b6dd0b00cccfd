// The series constants of a model and the order of the series for a tolerance.
#include "precise/taylor_series.hpp"

#include <cmath>

#include "dynamics/portable_math.hpp"
#include "precise/compensated.hpp"

int series_order(double tol_rate) {
  const double p = std::ceil(-portable_log(tol_rate) / 2.0) + 2.0;
  if (!(8.0 < p)) {
    return 8;
  }
  return p < static_cast<double>(max_order) ? static_cast<int>(p) : max_order;
}

series_constants make_series_constants(const model_params& m, const precise_config& c) {
  const double a = static_cast<double>(m.p_a);
  const double b = static_cast<double>(m.p_b);
  const double p_c = static_cast<double>(m.p_c);
  const double d = static_cast<double>(m.p_d);
  const double L = static_cast<double>(m.L);
  series_constants k;
  k.omega = static_cast<double>(m.omega);
  k.v = 1.0 / (b + d) - 1.0 / (b + p_c);
  k.beta = k.v / 2.0;
  k.alpha = (1.0 / a - 0.5 / (b + p_c)) - 0.5 / (b + d);
  k.forcing = (static_cast<double>(m.p_e) / a) / k.omega;
  k.LL = L * L;
  k.tol_rate = c.tol / (budget_points * (2.0 * two_pi_hi / std::fabs(k.omega)));
  k.order = series_order(k.tol_rate);
  k.tangent = c.tangent;
  return k;
}
