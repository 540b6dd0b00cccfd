// How the section loop of one condition ended, and the guards that stop endless runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Accepted steps shorter than this cannot reach the next section point (4*pi away) in any
// reasonable time; such a step size means tol is too small or the state too large.
constexpr double min_step = 1e-10;

// Accepted steps allowed between two section points; a sane run needs a few thousand. Counting
// accepted steps rather than trials makes the count independent of the step size a condition
// starts with, once its first step is taken.
constexpr std::uint64_t max_steps_per_point = std::uint64_t{1} << 26;

// Refinement retries allowed for one crossing; a sane eps needs far fewer.
constexpr std::uint64_t max_refinement_retries = std::uint64_t{1} << 30;

enum class section_stop {
  done,                    // all points of the condition collected
  state_not_finite,        // phi, l or t became infinite or NaN
  step_collapsed,          // |h| fell below min_step
  step_unbounded,          // h grew to infinity while the error estimate stayed small
  time_stalled,            // t + h == t
  no_section_point,        // max_steps_per_point steps without a point
  refinement_unreachable,  // no double near the crossing gives |section value| <= eps
  refinement_exhausted,    // max_refinement_retries retries without reaching eps
  cancelled,               // stopped on request
};

struct section_outcome {
  section_stop stop = section_stop::done;
  double t = 0.0;       // time reached (for a refinement: the start of the crossing step)
  double h = 0.0;       // step size in force
  double detail = 0.0;  // for refinement_unreachable: the section value closest to zero
};

// printf-style formatting of a message of at most 400 characters.
template <typename... Args>
std::string format_message(const char* pattern, Args... args) {
  char text[400];
  std::snprintf(text, sizeof text, pattern, args...);
  return text;
}

// One sentence for the user saying why the loop stopped; `eps` names the refinement bound.
std::string describe(const section_outcome& outcome, double eps);
