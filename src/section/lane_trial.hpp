// Trial steps of up to eight conditions at once: the stage arithmetic runs across the lanes in
// vector registers, and sin and cos keep the C library's bits (libc_sine_lanes.hpp).
#pragma once

#include <array>

#include "dynamics/integration_state.hpp"
#include "dynamics/rk4_step.hpp"

// Eight rather than four: on a 2-core AMD EPYC, eight lanes took 1.6x less CPU time than the
// scalar loop for 16 conditions, four lanes 1.35x; more calls in flight hide more latency.
constexpr int trial_lanes = 8;

// One lane of a batch of trials. A lane without a state takes no trial.
struct trial_lane {
  trial_kernel* k = nullptr;
  integration_state* s = nullptr;
  bool begin = false;  // t or y changed since the lane's last trial: begin_step first
  double err = 0.0;    // written: the trial's error estimate
};

// The rate constants of one model repeated across the lanes: made once, read every trial.
struct lane_rates {
  std::array<double, trial_lanes> inv_p_a{};
  std::array<double, trial_lanes> p_bc{};
  std::array<double, trial_lanes> p_bd{};
  std::array<double, trial_lanes> forcing{};
  std::array<double, trial_lanes> v{};
  std::array<double, trial_lanes> LL{};
};

lane_rates repeat_rates(const rate_constants& c);

// The instruction sets the lanes are compiled for; the processor's best is picked at run time.
enum class trial_isa { baseline, avx2 };

trial_isa best_trial_isa();

// For every lane with a state: begin_step(*k, *s) if `begin`, then err = trial_step(*k, *s).
// Every value has the bits those calls give: each operation is the same, rounded the same.
// `isa` must be one the processor supports. `shared`, when given, holds the rate constants of
// every lane's kernel (lanes of one model), loaded whole instead of gathered lane by lane.
void trial_step_lanes(std::array<trial_lane, trial_lanes>& lanes, trial_isa isa = best_trial_isa(),
                      const lane_rates* shared = nullptr);
