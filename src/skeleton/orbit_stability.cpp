// Greene's residue (Greene 1979) and the multipliers of a 2 x 2 monodromy matrix.
#include "skeleton/orbit_stability.hpp"

#include <cmath>

orbit_stability stability_of(const matrix2& M) {
  orbit_stability s;
  s.trace = M[0][0] + M[1][1];
  s.det = M[0][0] * M[1][1] - M[0][1] * M[1][0];
  s.residue = (2.0 - s.trace) / 4.0;
  const double half = s.trace / 2.0;
  const double disc = half * half - s.det;
  if (0.0 <= disc) {
    // The larger root without cancellation, the smaller from the product of the two.
    const double big = half + std::copysign(std::sqrt(disc), half);
    s.mu[0] = {big, 0.0};
    s.mu[1] = {big != 0.0 ? s.det / big : 0.0, 0.0};
  } else {
    s.mu[0] = {half, std::sqrt(-disc)};
    s.mu[1] = {half, -std::sqrt(-disc)};
  }
  if (std::fabs(s.residue) <= parabolic_band || std::fabs(s.residue - 1.0) <= parabolic_band) {
    s.kind = orbit_kind::parabolic;
  } else if (0.0 < s.residue && s.residue < 1.0) {
    s.kind = orbit_kind::elliptic;
  } else {
    s.kind = orbit_kind::hyperbolic;
  }
  return s;
}

const char* kind_name(orbit_kind kind) {
  switch (kind) {
    case orbit_kind::elliptic:
      return "elliptic";
    case orbit_kind::hyperbolic:
      return "hyperbolic";
    case orbit_kind::parabolic:
      return "parabolic";
  }
  return "parabolic";
}
