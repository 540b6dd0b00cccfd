// The first accepted step of a condition, which confirms a run computed ahead of its turn.
#include "section/speculative_run.hpp"

#include <cmath>

#include "dynamics/integration_state.hpp"
#include "dynamics/rk4_step.hpp"
#include "section/section_map.hpp"

bool first_accepted_step(const model_params& m, const run_config& config,
                         const std::array<double, 2>& y0, double h, double& first_h) {
  trial_kernel k = make_trial_kernel(m);
  integration_state s;
  s.y = y0;
  s.h = h;
  if (accept_step(k, config, s) != section_stop::done) {
    return false;
  }
  first_h = s.h;
  return true;
}

bool alternative_start(const model_params& m, const run_config& config,
                       const std::array<double, 2>& y0, double h, double& h_alt) {
  double first_h = 0.0;
  const bool accepted = first_accepted_step(m, config, y0, h, first_h);
  for (int k = 1; k <= alternative_reach; ++k) {
    for (const double start : {std::ldexp(h, -k), std::ldexp(h, k)}) {
      double other_h = 0.0;
      const bool other = first_accepted_step(m, config, y0, start, other_h);
      // A start with no accepted step confirms nothing: it is computed in its turn anyway.
      if (other && (!accepted || other_h != first_h)) {
        h_alt = start;
        return true;
      }
    }
  }
  return false;
}
