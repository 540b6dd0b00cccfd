// Rotation numbers of orbits of the stroboscopic map by weighted Birkhoff averages (Das &
// Yorke), and the agreement of the two halves of an orbit as a test of chaos.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "dynamics/model.hpp"
#include "precise/precise_state.hpp"

// A section point with the lift of its angle: phi + 2 pi turns.
struct lifted_point {
  double phi = 0.0;  // in [0, 2 pi)
  std::int64_t turns = 0;
  double l = 0.0;
};

enum class rotation_kind { circulating, librating };

struct rotation_summary {
  bool computed = false;  // false with fewer than min_rotation_points points
  rotation_kind kind = rotation_kind::circulating;
  // Circulating: mean advance of phi per period over 2 pi. Librating: mean advance, per
  // period over 2 pi, of the angle of (phi, l) about the orbit's centre, clockwise (the way
  // this model's islands turn, A(phi) > 0), modulo 1 in [0, 1): only the angle modulo a turn
  // is seen at the points.
  double rotation = 0.0;
  // -log10 |rotation of the first half - rotation of the second half|, at most max_digits.
  double digits = 0.0;
  std::int64_t points = 0;
};

constexpr std::int64_t min_rotation_points = 8;
constexpr double max_digits = 16.0;

// Circulating when the lift of phi spans at least a turn over the orbit, else librating.
rotation_kind rotation_kind_of(std::span<const lifted_point> orbit);

// The weighted Birkhoff average of the rotation of `orbit` taken as `kind`.
double weighted_rotation(std::span<const lifted_point> orbit, rotation_kind kind);

// Kind, rotation number and the digits to which the two halves agree.
rotation_summary rotation_of(std::span<const lifted_point> orbit);

// The n_points section points of the precise run from y0 (as the program computes them),
// lifted, with their rotation summary.
rotation_summary measure_rotation(const model_params& m, const precise_config& c,
                                  const std::array<double, 2>& y0, std::int64_t n_points);
