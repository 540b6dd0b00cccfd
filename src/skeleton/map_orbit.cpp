// The map and its monodromy from two precise states that differ only in their tangent vectors.
#include "skeleton/map_orbit.hpp"

#include <cmath>
#include <span>

#include "dynamics/constants.hpp"
#include "precise/precise_advance.hpp"
#include "precise/precise_lanes.hpp"

map_orbit follow_map(const model_params& m, const precise_config& c, const std::array<double, 2>& x,
                     int n) {
  precise_config tangent = c;
  tangent.tangent = true;
  std::array<precise_state, 2> lanes{precise_start(m, tangent, x), precise_start(m, tangent, x)};
  lanes[1].tangent = {0.0, 1.0};
  for (precise_state& s : lanes) {
    // x lies on the section, so the next point is a whole period away, not the half period
    // from t = 0 to the first point of an ordinary run.
    s.k = 1;
  }
  map_orbit orbit;
  std::array<precise_stop, 2> stops{};
  for (int j = 0; j < n; ++j) {
    precise_advance_lanes(m, tangent, lanes, stops);
    // The tangent vectors do not enter the step sizes, so both lanes stop alike.
    if (stops[0] != precise_stop::done || stops[1] != precise_stop::done) {
      orbit.stop = stops[0] != precise_stop::done ? stops[0] : stops[1];
      break;
    }
    orbit.points.push_back({lanes[0].phi, lanes[0].l});
  }
  orbit.last = lanes[0];
  orbit.monodromy = {
      {{lanes[0].tangent[0], lanes[1].tangent[0]}, {lanes[0].tangent[1], lanes[1].tangent[1]}}};
  return orbit;
}

double angle_difference(double a, double b) {
  double d = std::fmod(a - b, two_pi);
  if (d < -pi) {
    d += two_pi;
  } else if (pi <= d) {
    d -= two_pi;
  }
  return d;
}
