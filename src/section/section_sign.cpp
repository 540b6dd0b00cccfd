// Sign of sin(x) from the distance of x to the nearest multiple of pi. Away from the zeros the
// library sine is far more accurate than the margin, so its sign is the one found here.
#include "section/section_sign.hpp"

#include <cmath>

#include "dynamics/constants.hpp"

namespace {

// Beyond this argument the reduction below would lose the accuracy the margin relies on.
constexpr double max_argument = 1e6;
// Bound on the error of x - n * pi for |x| < max_argument, with room to spare.
constexpr double reduction_error = 1e-9;

}  // namespace

double sign_margin(double eps) {
  // |sin r| >= (2 / pi) |r| for |r| <= pi / 2, so a margin of 2 eps keeps |sin| above eps.
  return 2.0 * eps + reduction_error;
}

int section_sign(const model_params& m, double t, double margin) {
  const double x = (static_cast<double>(m.omega) * t) / 2.0;
  if (!(std::fabs(x) < max_argument)) {
    return 0;
  }
  // The nearest multiple of pi; truncating after adding a half of the right sign rounds.
  const double q = x * inv_pi;
  const auto n = static_cast<long long>(0.0 <= q ? q + 0.5 : q - 0.5);
  const double r = x - static_cast<double>(n) * pi;
  if (!(std::fabs(r) > margin + reduction_error)) {
    return 0;
  }
  // sin(n pi + r) = (-1)^n sin(r), and sin(r) has the sign of r for |r| < pi.
  const bool odd = (n & 1) != 0;
  return (0.0 < r) != odd ? 1 : -1;
}
