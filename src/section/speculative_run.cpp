// The first accepted step of a condition, which confirms a run computed ahead of its turn.
#include "section/speculative_run.hpp"

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
