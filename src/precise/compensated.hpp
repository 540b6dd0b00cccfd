// Error-free sums for the compensated state update, and the angle kept in [0, 2*pi).
#pragma once

#include "dynamics/constants.hpp"

// 2*pi as a double plus the rounding error of that double.
constexpr double two_pi_hi = two_pi;
constexpr double two_pi_lo = 2.4492935982947064e-16;

// s + e == a + b exactly, s = fl(a + b) (Knuth's TwoSum; any magnitudes).
inline void two_sum(double a, double b, double& s, double& e) {
  s = a + b;
  const double bb = s - a;
  e = (a - (s - bb)) + (b - bb);
}

// Adds d to the pair (hi, lo) and folds lo back so that hi = fl(hi + lo).
inline void compensated_add(double& hi, double& lo, double d) {
  double e = 0.0;
  two_sum(hi, d, hi, e);
  lo = lo + e;
  two_sum(hi, lo, hi, lo);
}

// Brings the angle hi + lo into [0, 2*pi) modulo the true 2*pi, keeping hi in [0, two_pi_hi).
void reduce_angle(double& hi, double& lo);

// p + e == a * b exactly, p = fl(a * b) (Dekker's product; no fused multiply-add needed).
void two_prod(double a, double b, double& p, double& e);
