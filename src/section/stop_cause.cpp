// Why the step size of a condition collapsed, told from tol, L and the states at the start and
// at the stop.
#include "section/stop_cause.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "dynamics/model.hpp"
#include "section/start_check.hpp"

namespace {

std::string collapse_cause(const model_params& m, const run_config& config,
                           const std::array<double, 2>& y0, const std::array<double, 2>& y_stop) {
  const double tol = config.tol;
  const double L = static_cast<double>(m.L);
  const double l0 = y0[1];
  const double l = y_stop[1];
  // An error bound as large as the state itself controls nothing: the first steps grow until
  // they throw the state far away, where the equations change too fast for any usable step.
  if (std::max({1.0, std::fabs(L), std::fabs(l0)}) <= tol) {
    return format_message(
        "tol = %.3g is far too large for an error bound: steps it let through carried l from %.3g "
        "to %.3g, where no usable step meets it",
        tol, l0, l);
  }
  // The time over which the solution changes: dl/dt grows like v * (l^2 - L^2), with v the
  // model's factor. A step meets tol when it is about tol^(1/5) times that time or shorter.
  const double v = std::fabs(derive_rate_constants(m).v);
  const double time_scale = 1.0 / (v * std::max(l * l, L * L));
  if (time_scale * std::pow(tol, 0.2) < min_step) {
    return format_message(
        "l0 or L too large: at l = %.3g with L = %.3g the solution changes on a time scale of "
        "about %.1g, and no usable step keeps the error within tol = %.3g",
        l, L, time_scale, tol);
  }
  // On a tame state only rounding keeps a step of min_step from meeting tol, unless the
  // constants the user changed make the equations themselves too fast.
  const std::string changed = changed_constants(m);
  if (!changed.empty()) {
    return format_message(
        "the constants %s make the equations change faster than a usable step can follow "
        "within tol = %.3g (or tol is too small for them)",
        changed.c_str(), tol);
  }
  return format_message("tol = %.3g is too small: rounding errors alone exceed it", tol);
}

}  // namespace

std::string describe_stop(const section_outcome& outcome, const model_params& m,
                          const run_config& config, const std::array<double, 2>& y0,
                          const std::array<double, 2>& y_stop) {
  const std::string what = describe(outcome, config.eps);
  if (outcome.stop != section_stop::step_collapsed) {
    return what;
  }
  return what + "; " + collapse_cause(m, config, y0, y_stop);
}
