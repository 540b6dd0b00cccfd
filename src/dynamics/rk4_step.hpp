// One trial step of the classical fourth-order Runge-Kutta scheme with its error estimate.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "dynamics/integration_state.hpp"
#include "dynamics/model.hpp"

// sin(omega * time) for the last few time arguments: the middle stages share one, and a
// halved or doubled trial and the next step's start meet times an earlier trial evaluated.
struct sine_memo {
  std::array<std::uint64_t, 4> time_bits{};
  std::array<double, 4> value{};
  std::size_t filled = 0;
  std::size_t next = 0;
};

// sin(omega * time) as std::sin gives it, taken from the memo when `time` (to the bit) is there.
double sin_omega(const rate_constants& c, sine_memo& memo, double time);

// The memo's value for `time` (to the bit), if it holds one.
bool find_sin_omega(const sine_memo& memo, double time, double& value);

// Keeps sin(omega * time) in the memo, in place of its oldest entry once it is full.
void keep_sin_omega(sine_memo& memo, double time, double value);

// What trials need besides the integration state. Every trial from one (t, y) shares the
// first stage, so its rates are kept here.
struct trial_kernel {
  rate_constants c;
  sine_memo memo;
  std::array<double, 2> start_rate{};  // rhs of both components at the (t, y) of begin_step
};

trial_kernel make_trial_kernel(const model_params& m);

// Sets start_rate for the current (t, y) of `s`; call whenever t or y change.
void begin_step(trial_kernel& k, const integration_state& s);

// One trial from the (t, y) given to the last begin_step with step size h: writes only t_new
// and y_new, and returns the error estimate max over the components of
// 2 * |k1 - k2 - k3 + k4| / 3 (never negative, never NaN: a NaN estimate is skipped).
double trial_step(trial_kernel& k, integration_state& s);

// The same trial as a single call: reads t, y and h of `s`, writes t_new and y_new.
double rk4_step(const model_params& m, integration_state& s);
