// Error-free sums and products of doubles: the rounding error of one operation, recovered
// exactly with plain additions and multiplications (no fused multiply-add needed).
#pragma once

// s + e == a + b exactly, s = fl(a + b) (Knuth's TwoSum; any magnitudes).
inline void two_sum(double a, double b, double& s, double& e) {
  s = a + b;
  const double bb = s - a;
  e = (a - (s - bb)) + (b - bb);
}

// Splits a into hi + lo with at most 26 significant bits each (Veltkamp); |a| < 2^995.
inline void split(double a, double& hi, double& lo) {
  constexpr double factor = 134217729.0;  // 2^27 + 1
  const double t = factor * a;
  hi = t - (t - a);
  lo = a - hi;
}

// p + e == a * b exactly, p = fl(a * b) (Dekker's product), when no partial product
// overflows or falls below the normal range.
inline void two_prod(double a, double b, double& p, double& e) {
  p = a * b;
  double a_hi = 0.0;
  double a_lo = 0.0;
  double b_hi = 0.0;
  double b_lo = 0.0;
  split(a, a_hi, a_lo);
  split(b, b_hi, b_lo);
  e = ((a_hi * b_hi - p) + a_hi * b_lo + a_lo * b_hi) + a_lo * b_lo;
}
