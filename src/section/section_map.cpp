// The adaptive section-map loop: step-size control, crossing detection and point output.
#include "section/section_map.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "dynamics/rk4_step.hpp"
#include "section/refine_crossing.hpp"
#include "section/section_sign.hpp"

bool is_crossing(double s_prev, double s_new) { return s_prev * s_new < 0.0 && 0.0 < s_prev; }

double angle_0_2pi(double phi) {
  // The inner fmod keeps the sign of phi; adding 2*pi and reducing again lands in [0, 2*pi).
  return std::fmod(std::fmod(phi, two_pi) + two_pi, two_pi);
}

section_point to_section_point(const std::array<double, 2>& y, float L) {
  return {angle_0_2pi(y[0]), y[1] / static_cast<double>(L)};
}

void append_point_line(std::string& lines, const section_point& p, int digits) {
  // Wide enough for any double in fixed notation with up to 17 decimals.
  char line[2 * 330];
  const int length =
      std::snprintf(line, sizeof line, "%15.*f %15.*f\n", digits, p[0], digits, p[1]);
  lines.append(line, static_cast<std::size_t>(length));
}

namespace {

section_outcome stopped(section_stop why, const integration_state& s) {
  return {why, s.t, s.h, 0.0};
}

}  // namespace

section_stop accept_step(trial_kernel& k, const run_config& config, integration_state& s) {
  // A non-finite state makes every error estimate NaN, read as small: the step size would
  // double forever without another point.
  if (!std::isfinite(s.t) || !std::isfinite(s.y[0]) || !std::isfinite(s.y[1])) {
    return section_stop::state_not_finite;
  }
  begin_step(k, s);
  double err = trial_step(k, s);
  // Strict: an error equal to tol is accepted, and a NaN error ends the loop.
  while (config.tol < err) {
    s.h = s.h / 2.0;
    if (std::fabs(s.h) < min_step / 2.0) {
      return section_stop::step_collapsed;
    }
    err = trial_step(k, s);
  }
  // The trial that ends the growth is accepted without comparing its error with tol again.
  while (err <= config.tol / 8.0) {
    s.h = s.h + s.h;
    if (!std::isfinite(s.h)) {
      return section_stop::step_unbounded;
    }
    if (s.h == 0.0) {
      return section_stop::step_collapsed;
    }
    err = trial_step(k, s);
  }
  if (std::fabs(s.h) < min_step) {
    return section_stop::step_collapsed;
  }
  if (s.t_new == s.t) {
    return section_stop::time_stalled;
  }
  return section_stop::done;
}

section_outcome run_section_map(const model_params& m, const run_config& config,
                                integration_state& s, point_list& points) {
  trial_kernel k = make_trial_kernel(m);
  const double margin = sign_margin(config.eps);
  std::uint64_t steps = 0;  // since the last point
  // Away from the section's zeros the crossing test needs only signs; the values are computed
  // where a sign is unknown (0) and for every crossing.
  int sign_prev = section_sign(m, s.t, margin);
  while (s.count < config.n_points) {
    const section_stop accepted = accept_step(k, config, s);
    if (accepted != section_stop::done) {
      return stopped(accepted, s);
    }
    if (++steps > max_steps_per_point) {
      return stopped(section_stop::no_section_point, s);
    }

    int sign_new = section_sign(m, s.t_new, margin);
    const bool crossing =
        sign_prev != 0 && sign_new != 0
            ? 0 < sign_prev && sign_new < 0
            : is_crossing(section_value(m, s.t, s.y), section_value(m, s.t_new, s.y_new));
    if (crossing) {
      const double s_prev = section_value(m, s.t, s.y);
      double s_new = section_value(m, s.t_new, s.y_new);
      const double h_saved = s.h;
      s.count = s.count + 1;
      const section_outcome refined = refine_crossing(k, m, config.eps, s, s_prev, s_new);
      if (refined.stop != section_stop::done) {
        return refined;
      }
      sign_new = section_sign(m, s.t_new, margin);
      // The step size in force at detection serves the next step, not the refined one.
      s.h = h_saved;
      // The point is the state at the start of the crossing step, not the refined end.
      points.push_back(to_section_point(s.y, m.L));
      steps = 0;
    }
    // After a crossing the refined end, on the section within eps, becomes current.
    s.y[0] = s.y_new[0];
    s.y[1] = s.y_new[1];
    s.t = s.t_new;
    sign_prev = sign_new;
  }
  return {};
}
