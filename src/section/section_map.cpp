// The adaptive section-map loop: step-size control, crossing detection and point output.
#include "section/section_map.hpp"

#include <cmath>
#include <cstdint>

#include "dynamics/rk4_step.hpp"
#include "section/refine_crossing.hpp"

bool is_crossing(double s_prev, double s_new) { return s_prev * s_new < 0.0 && 0.0 < s_prev; }

double angle_0_2pi(double phi) {
  // The inner fmod keeps the sign of phi; adding 2*pi and reducing again lands in [0, 2*pi).
  return std::fmod(std::fmod(phi, two_pi) + two_pi, two_pi);
}

void write_point(std::FILE* points, const std::array<double, 2>& y, float L) {
  std::fprintf(points, "%15.10f %15.10f\n", angle_0_2pi(y[0]), y[1] / static_cast<double>(L));
}

namespace {

bool state_is_finite(const integration_state& s) {
  return std::isfinite(s.t) && std::isfinite(s.y[0]) && std::isfinite(s.y[1]);
}

section_outcome stopped(section_stop why, const integration_state& s) {
  return {why, s.t, s.h, 0.0};
}

}  // namespace

section_outcome run_section_map(const model_params& m, const run_config& config,
                                integration_state& s, std::FILE* points) {
  std::uint64_t trials = 0;  // since the last point
  while (s.count < config.n_points) {
    // A non-finite state makes every error estimate NaN, read as small: the step size would
    // double forever without another point.
    if (!state_is_finite(s)) {
      return stopped(section_stop::state_not_finite, s);
    }
    double err = rk4_step(m, s);
    ++trials;
    // Strict: an error equal to tol is accepted, and a NaN error ends the loop.
    while (config.tol < err) {
      s.h = s.h / 2.0;
      if (std::fabs(s.h) < min_step / 2.0) {
        return stopped(section_stop::step_collapsed, s);
      }
      err = rk4_step(m, s);
      ++trials;
    }
    // The trial that ends the growth is accepted without comparing its error with tol again.
    while (err <= config.tol / 8.0) {
      s.h = s.h + s.h;
      if (!std::isfinite(s.h)) {
        return stopped(section_stop::step_unbounded, s);
      }
      if (s.h == 0.0) {
        return stopped(section_stop::step_collapsed, s);
      }
      err = rk4_step(m, s);
      ++trials;
    }
    if (std::fabs(s.h) < min_step) {
      return stopped(section_stop::step_collapsed, s);
    }
    if (s.t_new == s.t) {
      return stopped(section_stop::time_stalled, s);
    }
    if (trials > max_trials_per_point) {
      return stopped(section_stop::no_section_point, s);
    }

    const double s_prev = section_value(m, s.t, s.y);
    const double s_new = section_value(m, s.t_new, s.y_new);
    if (is_crossing(s_prev, s_new)) {
      const double h_saved = s.h;
      s.count = s.count + 1;
      const section_outcome refined = refine_crossing(m, config.eps, s, s_prev, s_new);
      if (refined.stop != section_stop::done) {
        return refined;
      }
      // The step size in force at detection serves the next step, not the refined one.
      s.h = h_saved;
      // The point is the state at the start of the crossing step, not the refined end.
      write_point(points, s.y, m.L);
      trials = 0;
    }
    // After a crossing the refined end, on the section within eps, becomes current.
    s.y[0] = s.y_new[0];
    s.y[1] = s.y_new[1];
    s.t = s.t_new;
  }
  return {};
}
