// Linear stability of a periodic orbit from its monodromy matrix M: trace, Greene's residue,
// multipliers and the kind of orbit.
#pragma once

#include <array>

#include "skeleton/map_orbit.hpp"

enum class orbit_kind { elliptic, hyperbolic, parabolic };

struct orbit_stability {
  double trace = 0.0;
  double det = 0.0;      // 1 for an area-preserving map: a check of the computation
  double residue = 0.0;  // Greene's R = (2 - trace) / 4
  // The multipliers (eigenvalues of M) as (re, im); for a real pair mu[0] is the larger in size.
  std::array<std::array<double, 2>, 2> mu{};
  orbit_kind kind = orbit_kind::parabolic;
};

// Residues this close to 0 or 1 count as parabolic: the multipliers meet at +1 or -1.
constexpr double parabolic_band = 1e-9;

orbit_stability stability_of(const matrix2& M);

// "elliptic", "hyperbolic" or "parabolic".
const char* kind_name(orbit_kind kind);
