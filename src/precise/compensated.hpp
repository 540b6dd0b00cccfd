// Compensated sums for the state update, and the angle kept in [0, 2*pi).
#pragma once

#include "dynamics/constants.hpp"
#include "dynamics/error_free.hpp"

// 2*pi as a double plus the rounding error of that double.
constexpr double two_pi_hi = two_pi;
constexpr double two_pi_lo = 2.4492935982947064e-16;

// Adds d to the pair (hi, lo) and folds lo back so that hi = fl(hi + lo).
inline void compensated_add(double& hi, double& lo, double d) {
  double e = 0.0;
  two_sum(hi, d, hi, e);
  lo = lo + e;
  two_sum(hi, lo, hi, lo);
}

// Brings the angle hi + lo into [0, 2*pi) modulo the true 2*pi, keeping hi in [0, two_pi_hi).
void reduce_angle(double& hi, double& lo);
