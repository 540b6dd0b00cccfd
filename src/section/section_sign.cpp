// Sign of sin(x) from the distance of x to the nearest multiple of pi. Away from the zeros the
// library sine is far more accurate than the margin, so its sign is the one found here.
#include "section/section_sign.hpp"

#include <cmath>

#include "dynamics/constants.hpp"

namespace {

// Beyond this argument the reduction below would lose the accuracy the margin relies on.
constexpr double max_argument = 1e6;
// Bound on the error of x - n * pi for |x| < max_argument, with room to spare.
constexpr double reduction_error = 1e-9;

}  // namespace

double sign_margin(double eps) {
  // |sin r| >= (2 / pi) |r| for |r| <= pi / 2, so a margin of 2 eps keeps |sin| above eps.
  return 2.0 * eps + reduction_error;
}

namespace {

// section_sign, with the nearest multiple n of pi it used (0 when it answers 0 early).
int sign_and_multiple(const model_params& m, double t, double margin, long long& n) {
  n = 0;
  const double x = (static_cast<double>(m.omega) * t) / 2.0;
  if (!(std::fabs(x) < max_argument)) {
    return 0;
  }
  // The nearest multiple of pi; truncating after adding a half of the right sign rounds.
  const double q = x * inv_pi;
  n = static_cast<long long>(0.0 <= q ? q + 0.5 : q - 0.5);
  const double r = x - static_cast<double>(n) * pi;
  if (!(std::fabs(r) > margin + reduction_error)) {
    return 0;
  }
  // sin(n pi + r) = (-1)^n sin(r), and sin(r) has the sign of r for |r| < pi.
  const bool odd = (n & 1) != 0;
  return (0.0 < r) != odd ? 1 : -1;
}

// The interval [lo, hi] widened to t when t gave its sign with its multiple; a new interval
// when it was empty.
void widen(double& lo, double& hi, long long& n_of, double t, long long n) {
  if (hi < lo) {
    lo = t;
    hi = t;
    n_of = n;
  } else if (n == n_of) {
    lo = std::fmin(lo, t);
    hi = std::fmax(hi, t);
  }
}

}  // namespace

int section_sign(const model_params& m, double t, double margin) {
  long long n = 0;
  return sign_and_multiple(m, t, margin, n);
}

int remembered_section_sign(const model_params& m, double t, double margin, sign_memo& memo) {
  // Which side a time falls on is as good as random; whether the memo knows it is not. So
  // one predictable branch, and the side taken without one.
  const bool plus = (memo.plus_lo <= t) & (t <= memo.plus_hi);
  const bool minus = (memo.minus_lo <= t) & (t <= memo.minus_hi);
  if (plus | minus) {
    return static_cast<int>(plus) - static_cast<int>(minus);
  }
  long long n = 0;
  const int sign = sign_and_multiple(m, t, margin, n);
  if (sign > 0) {
    widen(memo.plus_lo, memo.plus_hi, memo.plus_n, t, n);
  } else if (sign < 0) {
    widen(memo.minus_lo, memo.minus_hi, memo.minus_n, t, n);
  }
  return sign;
}
