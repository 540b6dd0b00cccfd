// Newton's method on G(x) = F^Q(x) - x with the Jacobian M - I, M the monodromy matrix; then
// the minimal period from the orbit's own points.
#include "skeleton/periodic_orbit.hpp"

#include <cmath>

#include "dynamics/portable_math.hpp"
#include "precise/precise_advance.hpp"
#include "precise/precise_outcome.hpp"

namespace {

// F^n(x) - x with the angle taken on the circle.
std::array<double, 2> displacement(const std::array<double, 2>& image,
                                   const std::array<double, 2>& x) {
  return {angle_difference(image[0], x[0]), image[1] - x[1]};
}

// The library's hypot rounds differently on different processors.
double norm(const std::array<double, 2>& v) { return portable_hypot(v[0], v[1]); }

// Newton on period n from x; fills every field but q and points. With Q periods followed,
// also leaves them in `orbit` for the search of the minimal period.
periodic_orbit newton(const model_params& m, const precise_config& c, std::array<double, 2> x,
                      int n, map_orbit& orbit) {
  periodic_orbit r;
  double best = INFINITY;
  for (int it = 0;; ++it) {
    x[0] = precise_start(m, c, x).phi;
    orbit = follow_map(m, c, x, n);
    r.x = x;
    r.iterations = it;
    if (orbit.stop != precise_stop::done) {
      r.reason = "the integration stopped: " + describe_precise_stop(orbit.stop, orbit.last, m);
      return r;
    }
    const std::array<double, 2> g = displacement(orbit.points.back(), x);
    r.residual = norm(g);
    r.stability = stability_of(orbit.monodromy);
    // Newton gains nothing once the residual has reached the rounding of the map.
    const bool stalled = !(r.residual < best);
    best = std::fmin(best, r.residual);
    if (r.residual <= newton_goal || (stalled && r.residual <= converged_residual)) {
      r.converged = true;
      return r;
    }
    if (it == max_newton_iterations) {
      break;
    }
    // (M - I) dx = -g; det(M - I) = det M - tr M + 1.
    const matrix2& M = orbit.monodromy;
    const double a = M[0][0] - 1.0;
    const double b = M[0][1];
    const double d = M[1][0];
    const double e = M[1][1] - 1.0;
    const double det = a * e - b * d;
    if (!(det != 0.0) || !std::isfinite(det)) {
      r.reason = "M - I is singular (trace of M is 2): no Newton step";
      return r;
    }
    std::array<double, 2> dx{-(e * g[0] - b * g[1]) / det, -(a * g[1] - d * g[0]) / det};
    const double step = norm(dx);
    if (max_newton_step < step) {
      dx = {dx[0] * (max_newton_step / step), dx[1] * (max_newton_step / step)};
    }
    x = {x[0] + dx[0], x[1] + dx[1]};
  }
  r.reason = "residual " + std::to_string(r.residual) + " after " +
             std::to_string(max_newton_iterations) + " iterations";
  return r;
}

}  // namespace

periodic_orbit find_periodic_orbit(const model_params& m, const precise_config& c,
                                   const std::array<double, 2>& x0, int Q) {
  map_orbit orbit;
  periodic_orbit r = newton(m, c, x0, Q, orbit);
  if (!r.converged) {
    return r;
  }
  r.q = Q;
  for (int d = 1; d < Q; ++d) {
    if (Q % d == 0 &&
        norm(displacement(orbit.points[static_cast<std::size_t>(d - 1)], r.x)) <= return_distance) {
      r.q = d;
      break;
    }
  }
  if (r.q != Q) {
    // Residual and stability belong to the minimal period: polish x* on F^q.
    const int q = r.q;
    const int before = r.iterations;
    r = newton(m, c, r.x, q, orbit);
    r.iterations += before;
    if (!r.converged) {
      return r;
    }
    r.q = q;
  }
  r.points.push_back(r.x);
  for (int j = 0; j + 1 < r.q; ++j) {
    r.points.push_back(orbit.points[static_cast<std::size_t>(j)]);
  }
  return r;
}
