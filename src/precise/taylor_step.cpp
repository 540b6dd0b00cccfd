// Step size, landing and compensated update of one lane; the same code for every lane count.
#include "precise/taylor_step.hpp"

#include <cmath>

#include "dynamics/portable_math.hpp"
#include "precise/compensated.hpp"

segment_length segment_to_point(const series_constants& c, int direction, std::int64_t k) {
  // theta = omega t / 2 moves with the sign of direction * omega along the integration. Rising,
  // sin theta passes from positive to negative at theta = pi (mod 2 pi): first one turn of
  // omega t from the start, then two. Falling, it does so at theta = 0 (mod 2 pi), but not at
  // the start, where it leaves 0 rather than a positive value: two turns each time. Either way
  // omega t_k is a multiple of 2 pi.
  const double speed = std::fabs(c.omega);
  const bool rising = (0 < direction) == (0.0 < c.omega);
  const double turns = (rising && k == 0) ? 1.0 : 2.0;
  const double span_hi = turns * two_pi_hi;
  segment_length s;
  s.hi = span_hi / speed;
  // span - s.hi * speed exactly, then the rest of the true 2*pi, divided by speed.
  double p = 0.0;
  double e = 0.0;
  two_prod(s.hi, speed, p, e);
  s.lo = (((span_hi - p) - e) + turns * two_pi_lo) / speed;
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
  // The step-size rule of Jorba & Zou (2005): the last two terms of the series estimate the
  // truncation error, and |x[n]| h^n <= tol_rate h  <=>  h <= (tol_rate / |x[n]|)^(1 / (n - 1)).
  // The smaller root has the smaller exponent, so one exp serves both. The portable functions
  // give every processor the same steps, hence the same points; their few ulp do not matter
  // for a step size.
  const double q_pm1 = portable_log(c.tol_rate / e_pm1) / static_cast<double>(c.order - 2);
  const double q_p = portable_log(c.tol_rate / e_p) / static_cast<double>(c.order - 1);
  return portable_exp(q_p < q_pm1 ? q_p : q_pm1);
}

step_plan plan_step(int direction, const segment_length& span, double h_tol,
                    std::int64_t steps_here, precise_state& s) {
  step_plan plan;
  s.h = h_tol;
  // Also true for a NaN step size: the comparison is false.
  if (!(min_precise_step <= h_tol)) {
    plan.stop = precise_stop::step_collapsed;
    return plan;
  }
  if (max_precise_steps <= steps_here) {
    plan.stop = precise_stop::step_budget;
    return plan;
  }
  const double remaining = span.hi - s.tau;
  if (std::fabs(remaining) <= h_tol) {
    // The true remaining time is (span.hi - tau) + span.lo; the step misses both the
    // rounding error of the difference and span.lo, made up after the step.
    plan.lands = true;
    two_sum(span.hi, -s.tau, plan.h, plan.time_lo);
    plan.time_lo = plan.time_lo + span.lo;
    plan.tau_new = span.hi;
    return plan;
  }
  plan.tau_new = s.tau + (direction < 0 ? -h_tol : h_tol);
  plan.h = plan.tau_new - s.tau;
  if (plan.h == 0.0) {
    plan.stop = precise_stop::step_collapsed;
  }
  return plan;
}

precise_stop commit_step(const step_plan& plan, double d_phi, double d_l, double d_u, double d_w,
                         precise_state& s) {
  double phi = s.phi;
  double phi_lo = s.phi_lo;
  double l = s.l;
  double l_lo = s.l_lo;
  compensated_add(phi, phi_lo, d_phi);
  compensated_add(l, l_lo, d_l);
  const double u = s.tangent[0] + d_u;
  const double w = s.tangent[1] + d_w;
  if (!(std::isfinite(phi + phi_lo) && std::isfinite(l + l_lo) && std::isfinite(u) &&
        std::isfinite(w))) {
    return precise_stop::state_not_finite;
  }
  // One step moves phi by far less than a turn, so the turns removed round to a whole number.
  const double unreduced = phi;
  reduce_angle(phi, phi_lo);
  s.turns += static_cast<std::int64_t>(std::nearbyint((unreduced - phi) / two_pi_hi));
  s.phi = phi;
  s.phi_lo = phi_lo;
  s.l = l;
  s.l_lo = l_lo;
  s.tangent = {u, w};
  s.tau = plan.tau_new;
  ++s.steps;
  if (plan.lands) {
    s.tau = 0.0;
    ++s.k;
  }
  return precise_stop::done;
}
