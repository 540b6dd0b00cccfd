// The trial step. Every value is formed by the documented operations in the documented order;
// only evaluations that repeat an earlier one exactly are skipped.
#include "dynamics/rk4_step.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>

bool find_sin_omega(const sine_memo& memo, double time, double& value) {
  // Keyed by bits, so that 0.0 and -0.0 stay apart.
  const auto bits = std::bit_cast<std::uint64_t>(time);
  for (std::size_t i = 0; i < memo.filled; ++i) {
    if (memo.time_bits[i] == bits) {
      value = memo.value[i];
      return true;
    }
  }
  return false;
}

void keep_sin_omega(sine_memo& memo, double time, double value) {
  const std::size_t size = memo.time_bits.size();
  memo.time_bits[memo.next] = std::bit_cast<std::uint64_t>(time);
  memo.value[memo.next] = value;
  memo.next = (memo.next + 1) % size;
  if (memo.filled < size) {
    ++memo.filled;
  }
}

double sin_omega(const rate_constants& c, sine_memo& memo, double time) {
  double value = 0.0;
  if (!find_sin_omega(memo, time, value)) {
    value = std::sin(c.omega * time);
    keep_sin_omega(memo, time, value);
  }
  return value;
}

trial_kernel make_trial_kernel(const model_params& m) { return {derive_rate_constants(m), {}, {}}; }

void begin_step(trial_kernel& k, const integration_state& s) {
  k.start_rate = rates(k.c, sin_omega(k.c, k.memo, s.t), s.y);
}

double trial_step(trial_kernel& k, integration_state& s) {
  const double t = s.t;
  const double h = s.h;
  const std::array<double, 2>& y = s.y;
  std::array<double, 2> k1{};
  std::array<double, 2> x_k1{};
  for (std::size_t i = 0; i < 2; ++i) {
    k1[i] = k.start_rate[i] * h;
    x_k1[i] = 0.5 * k1[i] + y[i];
  }
  const double sin_mid = sin_omega(k.c, k.memo, 0.5 * h + t);
  const std::array<double, 2> r2 = rates(k.c, sin_mid, x_k1);
  std::array<double, 2> k2{};
  std::array<double, 2> x_k2{};
  for (std::size_t i = 0; i < 2; ++i) {
    k2[i] = r2[i] * h;
    x_k2[i] = 0.5 * k2[i] + y[i];
  }
  const std::array<double, 2> r3 = rates(k.c, sin_mid, x_k2);
  std::array<double, 2> k3{};
  std::array<double, 2> x_k3{};
  for (std::size_t i = 0; i < 2; ++i) {
    k3[i] = r3[i] * h;
    x_k3[i] = y[i] + k3[i];
  }
  const std::array<double, 2> r4 = rates(k.c, sin_omega(k.c, k.memo, t + h), x_k3);
  double max = 0.0;
  for (std::size_t i = 0; i < 2; ++i) {
    const double k4 = r4[i] * h;
    s.y_new[i] = (2.0 * k2[i] + k1[i] + 2.0 * k3[i] + k4) / 6.0 + y[i];
    const double e = 2.0 * std::fabs(k1[i] - k2[i] - k3[i] + k4) / 3.0;
    // Strictly greater replaces: a NaN estimate leaves max as it is.
    if (max < e) {
      max = e;
    }
  }
  s.t_new = t + h;
  return max;
}

double rk4_step(const model_params& m, integration_state& s) {
  trial_kernel k = make_trial_kernel(m);
  begin_step(k, s);
  return trial_step(k, s);
}
