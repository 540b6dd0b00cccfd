// Messages for the precise method's guards.
#include "precise/precise_outcome.hpp"

#include <cstdio>

std::string describe_precise_stop(precise_stop stop, const precise_state& s) {
  char text[300];
  const long long point = static_cast<long long>(s.k) + 1;
  switch (stop) {
    case precise_stop::done:
      return "all section points collected";
    case precise_stop::state_not_finite:
      std::snprintf(text, sizeof text,
                    "the state became infinite or NaN on the way to section point %lld", point);
      break;
    case precise_stop::step_collapsed:
      std::snprintf(text, sizeof text,
                    "the step size fell below %.0e on the way to section point %lld (tol too "
                    "small for double precision, or phi, l or L too large to integrate)",
                    min_precise_step, point);
      break;
    case precise_stop::step_budget:
      std::snprintf(text, sizeof text, "no section point %lld after %lld steps", point,
                    static_cast<long long>(max_precise_steps));
      break;
    case precise_stop::cancelled:
      return "stopped on request";
  }
  return text;
}
