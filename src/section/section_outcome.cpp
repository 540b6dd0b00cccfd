// Messages for the ways a condition's section loop can stop early.
#include "section/section_outcome.hpp"

#include <cstdio>
#include <string>

std::string describe(const section_outcome& outcome, double eps) {
  const double t = outcome.t;
  const double h = outcome.h;
  switch (outcome.stop) {
    case section_stop::done:
      return "all section points collected";
    case section_stop::state_not_finite:
      return format_message(
          "the state became infinite or NaN at t = %.10g; no section point can follow", t);
    case section_stop::step_collapsed:
      return format_message(
          "the step size fell to %.3g at t = %.10g, below the smallest usable step %.0e", h, t,
          min_step);
    case section_stop::step_unbounded:
      return format_message(
          "the step size grew without bound at t = %.10g: the error estimate stays at or below "
          "tol/8 (tol too large?)",
          t);
    case section_stop::time_stalled:
      return format_message("time stopped advancing at t = %.17g: t + h == t with h = %.3g", t, h);
    case section_stop::no_section_point:
      return format_message("no section point after %llu steps, at t = %.10g with h = %.3g",
                            static_cast<unsigned long long>(max_steps_per_point), t, h);
    case section_stop::refinement_unreachable:
      return format_message(
          "the crossing after t = %.10g cannot be refined to eps = %.3g: the section value "
          "closest to zero that double precision gives there is %.3g",
          t, eps, outcome.detail);
    case section_stop::refinement_exhausted:
      return format_message(
          "the crossing after t = %.10g was not refined to eps = %.3g in %llu retries", t, eps,
          static_cast<unsigned long long>(max_refinement_retries));
    case section_stop::cancelled:
      return "stopped on request";
  }
  return "unknown stop";
}
