// Taylor steps of W conditions at once, each landing exactly on its own next section point.
#pragma once

#include "precise/precise_state.hpp"
#include "precise/taylor_series.hpp"

// Length of the segment that ends at section point k, as a double plus its rounding error:
// 2*pi/omega for the first point forward, 4*pi/omega otherwise, negative backward.
struct segment_length {
  double hi = 0.0;
  double lo = 0.0;
};

segment_length segment_to_point(const series_constants& c, int direction, std::int64_t k);

// The step size the tolerance allows from coefficients of orders p - 1 and p: the largest h
// with |x[p-1]| h^(p-1) <= tol_rate h and |x[p]| h^p <= tol_rate h for x = phi and x = l.
double tolerance_step(const series_constants& c, double phi_pm1, double phi_p, double l_pm1,
                      double l_p);

// Advances each lanes[j] from its local time tau to its next section point and writes why it
// stopped to stops[j]. Every lane performs the same operations whatever W and isa are (isa
// picks the compiled form of the block kernel and is not read for W = 1).
template <int W>
void advance_to_section(const series_constants& c, int direction, lane_isa isa,
                        precise_state* const* lanes, precise_stop* stops);
