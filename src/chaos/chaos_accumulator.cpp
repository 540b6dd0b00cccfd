// Running sums of MEGNO and of the Lyapunov exponent over the section points of one orbit.
#include "chaos/chaos_accumulator.hpp"

#include <cmath>

#include "dynamics/portable_math.hpp"

void chaos_record_point(chaos_accumulator& a, std::array<double, 2>& tangent) {
  // No overflow or underflow in the squares, whatever one period did to the norm; the
  // portable functions give every processor the same sums.
  const double norm = portable_hypot(tangent[0], tangent[1]);
  if (a.started) {
    ++a.n;
    const double ln_r = portable_log(norm);
    a.sum_ln += ln_r;
    a.sum_k_ln += static_cast<double>(a.n) * ln_r;
    a.sum_y += 2.0 * a.sum_k_ln / static_cast<double>(a.n);
  }
  a.started = true;
  tangent[0] /= norm;
  tangent[1] /= norm;
}

chaos_summary chaos_finish(const chaos_accumulator& a, double period) {
  chaos_summary r;
  if (a.n < 1) {
    return r;
  }
  const double n = static_cast<double>(a.n);
  r.computed = true;
  r.periods = a.n;
  r.megno = a.sum_y / n;
  // The period is a duration: omega < 0 gives a negative 4 pi / omega, the same map period.
  r.lyapunov = a.sum_ln / (n * std::fabs(period));
  r.chaotic = min_verdict_periods <= r.periods && chaos_threshold < r.megno;
  return r;
}
