// The step loop shared by the scalar and the SIMD path: order-0 inputs, coefficients, step
// size, compensated update, and the guards that stop a run that cannot finish.
#include "precise/taylor_step.hpp"

#include <cmath>

#include "precise/compensated.hpp"

segment_length segment_to_point(const series_constants& c, int direction, std::int64_t k) {
  const double turns = (direction > 0 && k == 0) ? 1.0 : 2.0;
  const double span_hi = turns * two_pi_hi;
  segment_length s;
  s.hi = span_hi / c.omega;
  // span - s.hi * omega exactly, then the rest of the true 2*pi, divided by omega.
  double p = 0.0;
  double e = 0.0;
  two_prod(s.hi, c.omega, p, e);
  s.lo = (((span_hi - p) - e) + turns * two_pi_lo) / c.omega;
  if (direction < 0) {
    s.hi = -s.hi;
    s.lo = -s.lo;
  }
  return s;
}

double tolerance_step(const series_constants& c, double phi_pm1, double phi_p, double l_pm1,
                      double l_p) {
  const double e_pm1 = std::fmax(std::fabs(phi_pm1), std::fabs(l_pm1));
  const double e_p = std::fmax(std::fabs(phi_p), std::fabs(l_p));
  // |x[n]| h^n <= tol_rate h  <=>  h <= (tol_rate / |x[n]|)^(1 / (n - 1)).
  const double h_pm1 = std::pow(c.tol_rate / e_pm1, 1.0 / (c.order - 2));
  const double h_p = std::pow(c.tol_rate / e_p, 1.0 / (c.order - 1));
  return h_p < h_pm1 ? h_p : h_pm1;
}

namespace {

// sin and cos of theta = 2 phi and of omega tau for one lane; one out-of-line function so that
// every lane count calls the library the same way.
[[gnu::noinline]] void order_zero_sines(double phi, double phi_lo, double omega_tau,
                                        double& sin_theta, double& cos_theta, double& sin_wt,
                                        double& cos_wt) {
  const double s = std::sin(2.0 * phi);
  const double c = std::cos(2.0 * phi);
  // The compensation term shifts theta by 2 phi_lo: first order is exact to rounding.
  sin_theta = s + c * (2.0 * phi_lo);
  cos_theta = c - s * (2.0 * phi_lo);
  sin_wt = std::sin(omega_tau);
  cos_wt = std::cos(omega_tau);
}

// sum_{n=1..p} x[n] h^n by Horner's rule.
template <int W>
double increment(const double (&x)[max_order + 1][W], int p, int j, double h) {
  double acc = x[p][j];
  for (int n = p - 1; 1 <= n; --n) {
    acc = acc * h + x[n][j];
  }
  return acc * h;
}

// sum_{n=1..p} n x[n] h^(n-1): the rate at the end of the step.
template <int W>
double end_rate(const double (&x)[max_order + 1][W], int p, int j, double h) {
  double acc = p * x[p][j];
  for (int n = p - 1; 1 <= n; --n) {
    acc = acc * h + n * x[n][j];
  }
  return acc;
}

bool all_finite(double a, double b, double c, double d) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

}  // namespace

template <int W>
void advance_to_section(const series_constants& c, int direction, lane_isa isa,
                        precise_state* const* lanes, precise_stop* stops) {
  const int p = c.order;
  series_block<W> b;
  segment_length span[W];
  bool active[W];
  std::int64_t steps_here[W];
  int running = 0;
  for (int j = 0; j < W; ++j) {
    const precise_state& s = *lanes[j];
    span[j] = segment_to_point(c, direction, s.k);
    active[j] = all_finite(s.phi + s.phi_lo, s.l + s.l_lo, s.tangent[0], s.tangent[1]);
    running += active[j] ? 1 : 0;
    steps_here[j] = 0;
    stops[j] = active[j] ? precise_stop::done : precise_stop::state_not_finite;
  }
  while (0 < running) {
    for (int j = 0; j < W; ++j) {
      if (!active[j]) {
        continue;  // its coefficients are computed from stale inputs and not used
      }
      const precise_state& s = *lanes[j];
      b.l[0][j] = s.l;
      b.u[0][j] = s.tangent[0];
      b.w[0][j] = s.tangent[1];
      order_zero_sines(s.phi, s.phi_lo, c.omega * s.tau, b.sin_theta[j], b.cos_theta[j],
                       b.sin_wt[j], b.cos_wt[j]);
    }
    if constexpr (W == 1) {
      taylor_coefficients(c, b);
    } else {
      taylor_coefficients(c, b, isa);
    }
    for (int j = 0; j < W; ++j) {
      if (!active[j]) {
        continue;
      }
      precise_state& s = *lanes[j];
      const double h_tol =
          tolerance_step(c, b.phi[p - 1][j], b.phi[p][j], b.l[p - 1][j], b.l[p][j]);
      s.h = h_tol;
      // Also true for a NaN step size: the comparison is false.
      if (!(min_precise_step <= h_tol)) {
        stops[j] = precise_stop::step_collapsed;
      } else if (max_precise_steps <= steps_here[j]) {
        stops[j] = precise_stop::step_budget;
      }
      const double remaining = span[j].hi - s.tau;
      const bool lands = std::fabs(remaining) <= h_tol;
      double h = 0.0;
      double time_lo = 0.0;  // time still to go after the step, beyond rounding
      double tau_new = 0.0;
      if (lands) {
        h = remaining;
        // The true remaining time is (span.hi - tau) + span.lo; h misses its rounding error.
        double exact = 0.0;
        two_sum(span[j].hi, -s.tau, exact, time_lo);
        time_lo = time_lo + span[j].lo;
        tau_new = span[j].hi;
      } else {
        tau_new = s.tau + (direction < 0 ? -h_tol : h_tol);
        h = tau_new - s.tau;
        if (h == 0.0) {
          stops[j] = precise_stop::step_collapsed;
        }
      }
      if (stops[j] != precise_stop::done) {
        active[j] = false;
        --running;
        continue;
      }
      double d_phi = increment(b.phi, p, j, h);
      double d_l = increment(b.l, p, j, h);
      double d_u = c.tangent ? increment(b.u, p, j, h) : 0.0;
      double d_w = c.tangent ? increment(b.w, p, j, h) : 0.0;
      if (lands) {
        d_phi = d_phi + time_lo * end_rate(b.phi, p, j, h);
        d_l = d_l + time_lo * end_rate(b.l, p, j, h);
        if (c.tangent) {
          d_u = d_u + time_lo * end_rate(b.u, p, j, h);
          d_w = d_w + time_lo * end_rate(b.w, p, j, h);
        }
      }
      double phi = s.phi;
      double phi_lo = s.phi_lo;
      double l = s.l;
      double l_lo = s.l_lo;
      compensated_add(phi, phi_lo, d_phi);
      compensated_add(l, l_lo, d_l);
      const double u = s.tangent[0] + d_u;
      const double w = s.tangent[1] + d_w;
      if (!all_finite(phi + phi_lo, l + l_lo, u, w)) {
        stops[j] = precise_stop::state_not_finite;
        active[j] = false;
        --running;
        continue;
      }
      reduce_angle(phi, phi_lo);
      s.phi = phi;
      s.phi_lo = phi_lo;
      s.l = l;
      s.l_lo = l_lo;
      s.tangent = {u, w};
      s.tau = tau_new;
      ++s.steps;
      ++steps_here[j];
      if (lands) {
        s.tau = 0.0;
        ++s.k;
        active[j] = false;
        --running;
      }
    }
  }
}

template void advance_to_section<1>(const series_constants&, int, lane_isa, precise_state* const*,
                                    precise_stop*);
template void advance_to_section<block_lanes>(const series_constants&, int, lane_isa,
                                              precise_state* const*, precise_stop*);
