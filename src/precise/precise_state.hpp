// Records of the precise method: its settings, the state of one condition, why a run stops.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

struct precise_config {
  // Error budget of 100 section points: every step keeps its estimated truncation error (the
  // larger of the last two Taylor terms of phi and of l) at most tol |h| / (100 * 4 pi/|omega|).
  double tol = 0.0;
  // +1 forward in time, -1 backward; the points are where sin(omega t / 2) passes from
  // positive to negative in that direction (see segment_to_point).
  int direction = 1;
  bool tangent = false;                       // also integrate the tangent vector (dphi, dl)
  const std::atomic<bool>* cancel = nullptr;  // set, every lane stops at its next step
};

// One condition between two calls of precise_advance: the state at the last section point
// reached (or at t = 0), with phi and l each held as a value plus a compensation term.
struct precise_state {
  double phi = 0.0;  // in [0, 2*pi_hi): phi + phi_lo is the angle modulo 2*pi
  double phi_lo = 0.0;
  double l = 0.0;
  double l_lo = 0.0;
  std::array<double, 2> tangent{};  // (dphi, dl); may be rescaled freely between calls
  std::int64_t k = 0;               // index of the next section point
  double tau = 0.0;                 // time since the last section point; nonzero only after a stop
  double h = 0.0;                   // last step size the tolerance allowed
  std::int64_t steps = 0;           // steps taken since precise_start
  std::int64_t turns = 0;           // whole turns taken off phi since precise_start: the lift
                                    // of the angle is phi + phi_lo + 2 pi turns
};

enum class precise_stop {
  done,              // the next section point was reached
  state_not_finite,  // a step would make phi, l or the tangent infinite or NaN
  step_collapsed,    // the tolerance allows a step shorter than min_precise_step
  step_budget,       // max_precise_steps steps without reaching the section point
  cancelled,         // precise_config::cancel was set
};

// Steps shorter than this cannot reach a section point in reasonable time.
constexpr double min_precise_step = 1e-10;

// Steps allowed between two section points; a sane run needs a few dozen.
constexpr std::int64_t max_precise_steps = std::int64_t{1} << 26;
