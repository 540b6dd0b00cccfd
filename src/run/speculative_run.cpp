// Speculative condition runs and their confirmation.
#include "run/speculative_run.hpp"

#include <cstdio>
#include <cstdlib>

#include "dynamics/rk4_step.hpp"
#include "section/section_map.hpp"

namespace {

integration_state start_state(const std::array<double, 2>& y0, double h) {
  integration_state s;
  s.y = y0;
  s.h = h;
  return s;
}

// The step size of the first accepted step from (0, y0) starting with h, or false.
bool first_step(const model_params& m, const run_config& config, const std::array<double, 2>& y0,
                double h, double& first_h) {
  trial_kernel k = make_trial_kernel(m);
  integration_state s = start_state(y0, h);
  if (accept_step(k, config, s) != section_stop::done) {
    return false;
  }
  first_h = s.h;
  return true;
}

}  // namespace

speculative_result run_speculatively(const model_params& m, const run_config& config,
                                     const std::array<double, 2>& y0, double h_guess) {
  speculative_result r;
  r.first_accepted = first_step(m, config, y0, h_guess, r.first_h);
  r.end = start_state(y0, h_guess);
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* points = open_memstream(&buffer, &size);
  if (points == nullptr) {
    r.outcome.stop = section_stop::state_not_finite;  // never confirmed: run again in turn
    r.first_accepted = false;
    return r;
  }
  r.outcome = run_section_map(m, config, r.end, points);
  std::fclose(points);
  r.points.assign(buffer, size);
  std::free(buffer);
  return r;
}

bool confirms(const model_params& m, const run_config& config, const std::array<double, 2>& y0,
              double h_start, const speculative_result& r) {
  // Without points to collect the run changes nothing, not even h: nothing to take over.
  if (config.n_points <= 0 || !r.first_accepted || r.outcome.stop != section_stop::done) {
    return false;
  }
  double first_h = 0.0;
  return first_step(m, config, y0, h_start, first_h) && first_h == r.first_h;
}
