// Logarithm, exponential and hypotenuse from the basic operations, with their error
// bounds worked out below; every step is one IEEE-754 operation, so every processor agrees.
#include "dynamics/portable_math.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>

#include "dynamics/error_free.hpp"

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// ln 2 as a head of 32 significant bits, so that k * ln2_hi is exact for |k| < 2^21, and the
// rest of ln 2 rounded to double.
constexpr double ln2_hi = 0x1.62e42feep-1;
constexpr double ln2_lo = 0x1.a39ef35793c76p-33;
constexpr double inv_ln2 = 0x1.71547652b82fep0;
constexpr double sqrt2 = 0x1.6a09e667f3bcdp0;

}  // namespace

// x = 2^k m with m in (sqrt2/2, sqrt2], f = m - 1 (exact), s = f / (2 + f), so that
// ln m = 2 atanh s = 2s + sum_{j>=1} 2 s^(2j+1) / (2j+1). With hfsq = f^2 / 2 one has
// 2s = f - hfsq + s hfsq, hence ln m = f - hfsq + s (hfsq + R), R = sum_{j>=1} 2 z^j / (2j+1),
// z = s^2: the rounding of s reaches only the small term s (hfsq + R), and f - (...) is the
// last operation (the arrangement of Sun's fdlibm). |s| <= 0.1716, z <= 0.02944: the Taylor
// sum of R through z^11 leaves out less than 2^-66 of the result.
double portable_log(double x) {
  if (!(0.0 < x)) {
    return x == 0.0 ? -inf : not_a_number;
  }
  if (x == inf) {
    return x;
  }
  int k = 0;
  if (x < 0x1p-1022) {
    x = x * 0x1p54;  // exact: subnormals become normal
    k = -54;
  }
  auto bits = std::bit_cast<std::uint64_t>(x);
  k += static_cast<int>(bits >> 52) - 1023;
  bits = (bits & 0x000fffffffffffffULL) | 0x3ff0000000000000ULL;
  double m = std::bit_cast<double>(bits);  // in [1, 2)
  if (sqrt2 < m) {
    m = m / 2.0;
    ++k;
  }
  const double f = m - 1.0;
  const double s = f / (2.0 + f);
  const double z = s * s;
  // R / z = sum_{m=0..10} 2 z^m / (2m+3) in two independent chains in w = z^2 (even and odd
  // m), half the latency of one Horner chain.
  const double w = z * z;
  double even = 2.0 / 23.0;
  for (const double a : {2.0 / 19.0, 2.0 / 15.0, 2.0 / 11.0, 2.0 / 7.0, 2.0 / 3.0}) {
    even = even * w + a;
  }
  double odd = 2.0 / 21.0;
  for (const double a : {2.0 / 17.0, 2.0 / 13.0, 2.0 / 9.0, 2.0 / 5.0}) {
    odd = odd * w + a;
  }
  const double r = z * (even + z * odd);
  const double hfsq = 0.5 * (f * f);
  const double dk = k;
  // k ln2_hi is exact and 0 for k = 0, where the result reduces to f - (hfsq - s (hfsq + R)).
  return dk * ln2_hi - ((hfsq - (s * (hfsq + r) + dk * ln2_lo)) - f);
}

// x = k ln2 + r with |r| <= ln2 / 2 + tiny: hi = x - k ln2_hi is exact, r = hi - lo rounds
// and its error c is carried. e^r = 1 + r + r^2 q(r), q by its Taylor sum through r^13 / 15!
// (the rest is below 2^-63); 1 + r is summed exactly so that the one rounding that counts is
// the last addition. The scaling by 2^k is exact for a normal result.
double portable_exp(double x) {
  if (x != x) {
    return x;
  }
  if (0x1.62e42fefa39efp9 < x) {
    return inf;
  }
  if (x < -0x1.74910d52d3052p9) {
    return 0.0;
  }
  const double k = std::nearbyint(x * inv_ln2);
  const double hi = x - k * ln2_hi;
  const double lo = k * ln2_lo;
  const double r = hi - lo;
  const double c = (hi - r) - lo;
  // q = sum_{m=0..13} r^m / (m+2)! in two independent chains in w = r^2 (even and odd m).
  const double w = r * r;
  double even = 1.0 / 87178291200.0;  // 1/14!
  for (const double a :
       {1.0 / 479001600.0, 1.0 / 3628800.0, 1.0 / 40320.0, 1.0 / 720.0, 1.0 / 24.0, 0.5}) {
    even = even * w + a;
  }
  double odd = 1.0 / 1307674368000.0;  // 1/15!
  for (const double a : {1.0 / 6227020800.0, 1.0 / 39916800.0, 1.0 / 362880.0, 1.0 / 5040.0,
                         1.0 / 120.0, 1.0 / 6.0}) {
    odd = odd * w + a;
  }
  const double q = even + r * odd;
  double one_r = 0.0;
  double one_r_lo = 0.0;
  two_sum(1.0, r, one_r, one_r_lo);
  const double rest = one_r_lo + (w * q + c * (1.0 + r));
  return std::ldexp(one_r + rest, static_cast<int>(k));
}

// Both scaled by the power of two that brings the larger into [1, 2) (exact, but for a
// smaller one that falls below the normal range, whose square could not count), the sum of
// squares as a double plus its error, then its square root with one Newton correction from
// the exact residual s - r^2: the result is within 0.5 units plus a few 2^-100.
double portable_hypot(double x, double y) {
  double a = std::fabs(x);
  double b = std::fabs(y);
  if (a == inf || b == inf) {
    return inf;
  }
  if (a != a || b != b) {
    return not_a_number;
  }
  if (a < b) {
    const double t = a;
    a = b;
    b = t;
  }
  if (b == 0.0) {
    return a;
  }
  int e = 0;
  a = std::frexp(a, &e);  // in [1/2, 1)
  a = a * 2.0;
  --e;
  b = std::ldexp(b, -e);
  double aa = 0.0;
  double aa_lo = 0.0;
  double bb = 0.0;
  double bb_lo = 0.0;
  two_prod(a, a, aa, aa_lo);
  two_prod(b, b, bb, bb_lo);
  double s = 0.0;
  double s_lo = 0.0;
  two_sum(aa, bb, s, s_lo);
  s_lo = s_lo + (aa_lo + bb_lo);
  double r = std::sqrt(s);
  double rr = 0.0;
  double rr_lo = 0.0;
  two_prod(r, r, rr, rr_lo);
  r = r + (((s - rr) - rr_lo) + s_lo) / (2.0 * r);
  return std::ldexp(r, e);
}

namespace {

// Heads and tails of atan(1/2), atan(1) = pi/4, atan(3/2), pi/2 and pi (each head the value
// rounded to double, each tail the rest rounded).
constexpr double atan_half_hi = 0x1.dac670561bb4fp-2;
constexpr double atan_half_lo = 0x1.a2b7f222f65e2p-56;
constexpr double pi_4_hi = 0x1.921fb54442d18p-1;
constexpr double pi_4_lo = 0x1.1a62633145c07p-55;
constexpr double atan_3_2_hi = 0x1.f730bd281f69bp-1;
constexpr double atan_3_2_lo = 0x1.007887af0cbbdp-56;
constexpr double pi_2_hi = 0x1.921fb54442d18p+0;
constexpr double pi_2_lo = 0x1.1a62633145c07p-54;
constexpr double pi_hi = 0x1.921fb54442d18p+1;
constexpr double pi_lo = 0x1.1a62633145c07p-53;
constexpr double three_pi_4 = 0x1.2d97c7f3321d2p+1;

// atan(q + q_lo) = hi + lo for 2^-62 < q < 2^62, |q_lo| within an ulp of q. The reduction of
// Sun's fdlibm, r = (q - c) / (1 + c q) about c = 0, 1/2, 1, 3/2 or infinity, so that
// |r| <= 7/16; r is carried with its error r_lo, which moves atan by r_lo / (1 + r^2). With
// z = r^2 <= 0.1914, the Taylor sum atan r = r - r z sum_j (-z)^j / (2j + 3) through j = 24
// leaves out less than 2^-64 of r. The head base_hi + r is summed exactly, so the result is
// rounded once, when the caller adds hi and lo.
void atan_positive(double q, double q_lo, double& hi, double& lo) {
  double base_hi = 0.0;
  double base_lo = 0.0;
  double r = q;
  double r_lo = q_lo;
  if (7.0 / 16.0 <= q) {
    // r = (n + n_lo) / (d + d_lo); every n below is exact (Sterbenz).
    double n = -1.0;
    double n_lo = 0.0;
    double d = q;
    double d_lo = q_lo;
    if (q < 11.0 / 16.0) {
      base_hi = atan_half_hi;
      base_lo = atan_half_lo;
      n = 2.0 * q - 1.0;
      n_lo = 2.0 * q_lo;
      two_sum(2.0, q, d, d_lo);
      d_lo = d_lo + q_lo;
    } else if (q < 19.0 / 16.0) {
      base_hi = pi_4_hi;
      base_lo = pi_4_lo;
      n = q - 1.0;
      n_lo = q_lo;
      two_sum(1.0, q, d, d_lo);
      d_lo = d_lo + q_lo;
    } else if (q < 39.0 / 16.0) {
      base_hi = atan_3_2_hi;
      base_lo = atan_3_2_lo;
      n = q - 1.5;
      n_lo = q_lo;
      double p = 0.0;
      double p_lo = 0.0;
      two_prod(1.5, q, p, p_lo);
      two_sum(1.0, p, d, d_lo);
      d_lo = d_lo + (p_lo + 1.5 * q_lo);
    } else {
      base_hi = pi_2_hi;
      base_lo = pi_2_lo;
    }
    r = n / d;
    double p = 0.0;
    double p_lo = 0.0;
    two_prod(r, d, p, p_lo);
    r_lo = (((n - p) - p_lo) + (n_lo - r * d_lo)) / d;
  }
  const double z = r * r;
  double sum = 0.0;
  for (int j = 24; 0 <= j; --j) {
    sum = sum * (-z) + 1.0 / static_cast<double>(2 * j + 3);
  }
  double head_lo = 0.0;
  two_sum(base_hi, r, hi, head_lo);
  lo = head_lo + (base_lo + (r_lo / (1.0 + z) - r * (z * sum)));
}

}  // namespace

// Both coordinates scaled by one power of two (exactly: the smaller is kept within 2^60 of
// the larger), the quotient q = |y| / |x| carried with its error, atan q as a head and tail,
// and pi - atan q for x < 0 formed before the one final rounding.
double portable_atan2(double y, double x) {
  if (x != x || y != y) {
    return x + y;
  }
  if (y == 0.0) {
    return std::signbit(x) ? std::copysign(pi_hi, y) : y;
  }
  if (y == inf || y == -inf) {
    if (x == inf || x == -inf) {
      return std::copysign(0.0 < x ? pi_4_hi : three_pi_4, y);
    }
    return std::copysign(pi_2_hi, y);
  }
  if (x == 0.0) {
    return std::copysign(pi_2_hi, y);
  }
  if (x == inf || x == -inf) {
    return std::copysign(0.0 < x ? 0.0 : pi_hi, y);
  }
  const double ax = std::fabs(x);
  const double ay = std::fabs(y);
  int ex = 0;
  int ey = 0;
  std::frexp(ax, &ex);
  std::frexp(ay, &ey);
  double hi = 0.0;
  double lo = 0.0;
  if (60 < ey - ex) {
    // atan q = pi/2 - 1/q + ..., and 1/q < 2^-59 is below a hundredth of pi/2's last place.
    hi = pi_2_hi;
    lo = pi_2_lo;
  } else if (60 < ex - ey) {
    // atan q = q (1 - q^2 / 3 + ...) with q^2 < 2^-118: q rounded once.
    if (0.0 < x) {
      return std::copysign(ay / ax, y);
    }
    hi = ay / ax;
  } else {
    const int e = std::max(ex, ey);
    const double sx = std::ldexp(ax, -e);
    const double sy = std::ldexp(ay, -e);
    const double q = sy / sx;
    double p = 0.0;
    double p_lo = 0.0;
    two_prod(q, sx, p, p_lo);
    atan_positive(q, ((sy - p) - p_lo) / sx, hi, lo);
  }
  if (0.0 < x) {
    return std::copysign(hi + lo, y);
  }
  double s = 0.0;
  double s_lo = 0.0;
  two_sum(pi_hi, -hi, s, s_lo);
  return std::copysign(s + (s_lo + (pi_lo - lo)), y);
}
