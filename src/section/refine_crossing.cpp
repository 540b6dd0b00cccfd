// Crossing refinement, with a proof-based stop when eps lies below double resolution.
#include "section/refine_crossing.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

#include "section/section_sign.hpp"

namespace {

// By this many retries a sound refinement has bracketed the crossing from both sides.
constexpr std::uint64_t resolution_check_after = 4096;

constexpr int max_bisections = 200;

// The walk of step sizes stays within a factor 1.5 of the distance to the crossing once it
// has fallen short of it, so from then on every end time lies between the hump's peak and the
// next trough, where the section value is monotonic. When no double there comes within eps of
// zero, the refinement provably never ends. That holds when the step cannot reach the
// section's next zero (|h| below half a section period) and s_prev * s_new cannot underflow.
bool resolution_check_applies(const model_params& m, double h_saved, double s_prev, double eps,
                              double t_short) {
  const double half_period = 6.0 / static_cast<double>(m.omega);
  return std::isfinite(t_short) && std::fabs(h_saved) < half_period && eps < s_prev;
}

}  // namespace

double closest_section_value(const model_params& m, const integration_state& s, double t_short,
                             double t_over, double eps) {
  double a = t_short;
  double b = t_over;
  double s_a = section_value(m, a, s.y);
  double s_b = section_value(m, b, s.y);
  for (int i = 0; i < max_bisections; ++i) {
    const double mid = a + (b - a) / 2.0;
    if (mid == a || mid == b) {
      return std::fabs(s_a) < std::fabs(s_b) ? s_a : s_b;
    }
    const double s_mid = section_value(m, mid, s.y);
    if (std::fabs(s_mid) <= eps) {
      return s_mid;
    }
    if (0.0 < s_mid) {
      a = mid;
      s_a = s_mid;
    } else {
      b = mid;
      s_b = s_mid;
    }
  }
  return 0.0;  // no verdict: treat the crossing as reachable
}

section_outcome refine_crossing(trial_kernel& k, const model_params& m, double eps,
                                integration_state& s, double s_prev, double& s_new,
                                const std::atomic<bool>* cancel) {
  const double h_saved = s.h;
  double t_short = std::numeric_limits<double>::quiet_NaN();
  double t_over = s.t_new;
  std::uint64_t retries = 0;
  // Far from the zero only the sign of the section value decides a retry, and that sign is
  // known without the sine; s_new is then stale and `exact` false. A tiny s_prev could make
  // s_prev * s_new underflow, so the shortcut needs a normal-sized s_prev.
  const double margin = 1e-200 < s_prev ? sign_margin(eps) : 2.0;
  bool exact = true;
  int sign = 0;
  // The walk of end times keeps returning to times on either side of the zero that it has
  // passed before, whose signs the memo then gives with a comparison.
  sign_memo known;
  // Strict: equality ends the refinement, and so does a NaN section value.
  while (!exact || std::fabs(s_new) > eps) {
    // s_prev keeps the value from the start of the step throughout.
    const bool overshoot = exact ? s_prev * s_new < 0.0 : sign < 0;
    // Selections rather than branches: the walk's turns are as good as random.
    t_over = overshoot ? s.t_new : t_over;
    t_short = overshoot ? t_short : s.t_new;
    s.h = s.h * (overshoot ? 0.5 : 1.5);
    // The section value depends on the end time alone, so a retry needs only t_new; the
    // state at the end is computed once, for the retry that ends the refinement.
    s.t_new = s.t + s.h;
    sign = remembered_section_sign(m, s.t_new, margin, known);
    exact = sign == 0;
    if (exact) {
      s_new = section_value(m, s.t_new, s.y);
    }
    ++retries;
    if (retries == resolution_check_after &&
        resolution_check_applies(m, h_saved, s_prev, eps, t_short)) {
      const double closest = closest_section_value(m, s, t_short, t_over, eps);
      if (std::fabs(closest) > eps) {
        return {section_stop::refinement_unreachable, s.t, s.h, closest};
      }
    }
    if (retries > max_refinement_retries) {
      return {section_stop::refinement_exhausted, s.t, s.h, 0.0};
    }
    if (cancel_requested(cancel)) {
      return {section_stop::cancelled, s.t, s.h, 0.0};
    }
  }
  if (retries > 0) {
    trial_step(k, s);
  }
  return {};
}
