// Weighted Birkhoff averages with Das & Yorke's weight w(t) = exp(-1 / (t (1 - t))), which
// vanishes to all orders at both ends: on a quasi-periodic orbit the average converges faster
// than any power of the number of points, on a chaotic one no faster than 1 / sqrt(n).
#include "skeleton/rotation_number.hpp"

#include <algorithm>
#include <cmath>

#include "dynamics/constants.hpp"
#include "dynamics/portable_math.hpp"
#include "precise/lane_math.hpp"
#include "precise/precise_advance.hpp"

namespace {

// The C library's exp, atan2, sin, cos and log10 differ in their last bits between processors;
// the functions used here give every processor the same rotation numbers.
constexpr double ln_10 = 0x1.26bb1bbb55516p1;

// The smallest gap to which digits are counted: 10^-max_digits.
constexpr double smallest_gap = 1e-16;

// Weight of term i of n (i = 0 .. n - 1), sampled inside (0, 1) so no term is wasted.
double weight(std::size_t i, std::size_t n) {
  const double t = static_cast<double>(i + 1) / static_cast<double>(n + 1);
  return portable_exp(-1.0 / (t * (1.0 - t)));
}

// Advance of the lift from a to b; the turns are counted exactly, the rest is small.
double lift_advance(const lifted_point& a, const lifted_point& b) {
  return (b.phi - a.phi) + two_pi * static_cast<double>(b.turns - a.turns);
}

// The angle brought into [-pi, pi).
double wrap(double angle) {
  const double r = angle - two_pi * std::floor((angle + pi) / two_pi);
  return r < pi ? r : r - two_pi;
}

}  // namespace

rotation_kind rotation_kind_of(std::span<const lifted_point> orbit) {
  double lift = 0.0;
  double low = 0.0;
  double high = 0.0;
  for (std::size_t i = 1; i < orbit.size(); ++i) {
    lift += lift_advance(orbit[i - 1], orbit[i]);
    low = std::min(low, lift);
    high = std::max(high, lift);
  }
  return two_pi <= high - low ? rotation_kind::circulating : rotation_kind::librating;
}

double weighted_rotation(std::span<const lifted_point> orbit, rotation_kind kind) {
  const std::size_t n = orbit.size();
  std::vector<double> advance(n - 1);
  double lift = 0.0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    advance[i] = lift_advance(orbit[i], orbit[i + 1]);
  }
  if (kind == rotation_kind::librating) {
    // The centre is itself a weighted average, of the lift relative to the first point.
    double centre_phi = 0.0;
    double centre_l = 0.0;
    double sum_w = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      lift += i == 0 ? 0.0 : advance[i - 1];
      const double w = weight(i, n);
      centre_phi += w * lift;
      centre_l += w * orbit[i].l;
      sum_w += w;
    }
    centre_phi /= sum_w;
    centre_l /= sum_w;
    // Clockwise angles about the centre, and their advances on the circle.
    lift = 0.0;
    double angle_prev = portable_atan2(-(orbit[0].l - centre_l), -centre_phi);
    double sum_cos = 0.0;
    double sum_sin = 0.0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
      lift += advance[i];
      const double angle = portable_atan2(-(orbit[i + 1].l - centre_l), lift - centre_phi);
      advance[i] = angle - angle_prev;
      angle_prev = angle;
      double sin_a = 0.0;
      double cos_a = 0.0;
      sin_cos(advance[i], sin_a, cos_a);
      sum_cos += cos_a;
      sum_sin += sin_a;
    }
    // Each advance is known only modulo a turn: take the branch within half a turn of their
    // circular mean, so that advances near half a turn are not split between two branches.
    const double mean = portable_atan2(sum_sin, sum_cos);
    for (double& a : advance) {
      a = mean + wrap(a - mean);
    }
  }
  double sum = 0.0;
  double sum_w = 0.0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const double w = weight(i, n - 1);
    sum += w * advance[i];
    sum_w += w;
  }
  const double turns = sum / sum_w / two_pi;
  if (kind == rotation_kind::circulating) {
    return turns;
  }
  // Only the angle modulo a turn is seen at the points: the number is given in [0, 1).
  const double reduced = turns - std::floor(turns);
  return reduced < 1.0 ? reduced : 0.0;
}

rotation_summary rotation_of(std::span<const lifted_point> orbit) {
  rotation_summary r;
  r.points = static_cast<std::int64_t>(orbit.size());
  if (r.points < min_rotation_points) {
    return r;
  }
  r.computed = true;
  r.kind = rotation_kind_of(orbit);
  r.rotation = weighted_rotation(orbit, r.kind);
  const std::size_t half = orbit.size() / 2;
  double gap = std::fabs(weighted_rotation(orbit.subspan(0, half), r.kind) -
                         weighted_rotation(orbit.subspan(half, half), r.kind));
  if (r.kind == rotation_kind::librating) {
    // Numbers modulo 1: 0.999 and 0.001 are 0.002 apart.
    gap = std::fmin(gap, 1.0 - gap);
  }
  // A gap of 0 would give no number of digits; the cap stands for agreement to the last digit
  // a double holds. A NaN gap stays NaN.
  r.digits = gap < smallest_gap ? max_digits : -portable_log(gap) / ln_10;
  return r;
}

rotation_summary measure_rotation(const model_params& m, const precise_config& c,
                                  const std::array<double, 2>& y0, std::int64_t n_points) {
  precise_config plain = c;
  plain.tangent = false;
  precise_state s = precise_start(m, plain, y0);
  std::vector<lifted_point> orbit;
  for (std::int64_t k = 0; k < n_points; ++k) {
    if (precise_advance(m, plain, s) != precise_stop::done) {
      break;
    }
    orbit.push_back({s.phi, s.turns, s.l});
  }
  return rotation_of(orbit);
}
