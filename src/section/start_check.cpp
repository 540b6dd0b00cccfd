// The checks are coarse on purpose: they object only where the loop's own guard would stop
// the first condition anyway, a thousand times beyond the limit, and say which constant is to
// blame; everything closer to the limit is left to the loop and its stop causes.
#include "section/start_check.hpp"

#include <cmath>

#include "dynamics/model_rules.hpp"
#include "section/section_outcome.hpp"

namespace {

constexpr double four_pi = 12.566370614359172;
// A section period must hold this many of the smallest steps for a crossing to be refined.
constexpr double min_steps_per_period = 100.0;
// How far below min_step the needed step must fall before the run is refused at the start.
constexpr double refusal_margin = 1e3;

}  // namespace

std::string changed_constants(const model_params& m) {
  const model_params defaults = default_model();
  std::string text;
  for (const model_constant& c : model_constants) {
    if (m.*c.field != defaults.*c.field) {
      if (!text.empty()) {
        text += ", ";
      }
      text += format_message("%s = %.3g", c.name, static_cast<double>(m.*c.field));
    }
  }
  return text;
}

std::string classic_start_problem(const model_params& m, const run_config& config,
                                  const std::vector<std::array<double, 2>>& y0s) {
  const std::string changed = changed_constants(m);
  if (changed.empty()) {
    return {};
  }
  const double omega = std::fabs(static_cast<double>(m.omega));
  const double period = four_pi / omega;
  if (period < min_steps_per_period * min_step) {
    return format_message(
        "--param omega = %g makes the section period 4 pi / omega = %.2g, shorter than %g times "
        "the classic method's smallest usable step (%g): no crossing can be refined; choose "
        "|omega| below %.2g",
        static_cast<double>(m.omega), period, min_steps_per_period, min_step,
        four_pi / (min_steps_per_period * min_step));
  }
  // The rate of phi at the start: its l term at its largest over phi, and the forcing's
  // amplitude times omega. A step meets tol when it is about tol^(1/5) / rate or shorter.
  const rate_constants r = derive_rate_constants(m);
  const double q_max = std::fabs(r.inv_p_a) + 1.0 / std::fabs(r.p_bc) + 1.0 / std::fabs(r.p_bd);
  for (std::size_t i = 0; i < y0s.size(); ++i) {
    const double rate = q_max * std::fabs(y0s[i][1]) + std::fabs(r.forcing) * omega;
    const double step = std::pow(config.tol, 0.2) / rate;
    if (step * refusal_margin < min_step) {
      return format_message(
          "condition %zu: the constants %s make phi change at a rate of about %.2g from the "
          "start: the classic step would have to be about %.2g, far below its smallest usable "
          "step (%g)",
          i + 1, changed.c_str(), rate, step, min_step);
    }
  }
  return {};
}
