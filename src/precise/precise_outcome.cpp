// Messages for the precise method's guards, naming the model constant at fault where one is.
#include "precise/precise_outcome.hpp"

#include <cmath>
#include <cstdio>

#include "precise/compensated.hpp"

namespace {

// A constant, or a combination of them, that sets a rate of the motion (per unit time).
struct rate_source {
  double rate = 0.0;
  const char* text = "";  // printf format naming it, with one %.3g for its value
  double value = 0.0;
};

// The fastest rate the model's constants impose on an orbit of unit size: the forcing's
// frequency omega, phi' = l / a + ..., the terms in 1 / (b + c) and 1 / (b + d), and the
// forcing's amplitude e / (a omega).
rate_source fastest_constant_rate(const model_params& m) {
  const double a = static_cast<double>(m.p_a);
  const double bc = static_cast<double>(m.p_b) + static_cast<double>(m.p_c);
  const double bd = static_cast<double>(m.p_b) + static_cast<double>(m.p_d);
  const double omega = static_cast<double>(m.omega);
  const double forcing = (static_cast<double>(m.p_e) / a) / omega;
  const rate_source sources[] = {
      {std::fabs(omega), "omega = %.3g", omega},
      {std::fabs(1.0 / a), "a = %.3g", a},
      {std::fabs(1.0 / bc), "b + c = %.3g", bc},
      {std::fabs(1.0 / bd), "b + d = %.3g", bd},
      {std::fabs(forcing), "the forcing e / (a omega) = %.3g", forcing},
  };
  rate_source fastest;
  for (const rate_source& r : sources) {
    // NaN rates never win: the comparison is false.
    if (fastest.rate < r.rate) {
      fastest = r;
    }
  }
  return fastest;
}

// Rates this far above the model's own (about 1) need steps near min_precise_step.
constexpr double extreme_rate = 1e6;

}  // namespace

std::string describe_precise_stop(precise_stop stop, const precise_state& s,
                                  const model_params& m) {
  char text[400];
  char constant[120];
  const long long point = static_cast<long long>(s.k) + 1;
  switch (stop) {
    case precise_stop::done:
      return "all section points collected";
    case precise_stop::cancelled:
      std::snprintf(text, sizeof text, "stopped on request on the way to section point %lld",
                    point);
      break;
    case precise_stop::state_not_finite:
      std::snprintf(text, sizeof text,
                    "the state became infinite or NaN on the way to section point %lld", point);
      break;
    case precise_stop::step_collapsed: {
      const rate_source r = fastest_constant_rate(m);
      if (extreme_rate < r.rate) {
        std::snprintf(constant, sizeof constant, r.text, r.value);
        std::snprintf(text, sizeof text,
                      "the step size fell below %.0e on the way to section point %lld: %s "
                      "makes the motion too fast to follow (rate %.1e per unit time)",
                      min_precise_step, point, constant, r.rate);
      } else {
        std::snprintf(text, sizeof text,
                      "the step size fell below %.0e on the way to section point %lld (tol too "
                      "small for double precision, or phi, l or L too large to integrate)",
                      min_precise_step, point);
      }
      break;
    }
    case precise_stop::step_budget: {
      // Section points 4 pi / |omega| apart that the steps could not cover in the budget.
      const double omega = static_cast<double>(m.omega);
      const double gap = 2.0 * two_pi_hi / std::fabs(omega);
      if (static_cast<double>(max_precise_steps) * std::fabs(s.h) < gap) {
        std::snprintf(text, sizeof text,
                      "no section point %lld after %lld steps: omega = %.3g puts section points "
                      "%.1e apart in time, more than steps of %.1e can cover",
                      point, static_cast<long long>(max_precise_steps), omega, gap, s.h);
      } else {
        std::snprintf(text, sizeof text, "no section point %lld after %lld steps", point,
                      static_cast<long long>(max_precise_steps));
      }
      break;
    }
  }
  return text;
}
