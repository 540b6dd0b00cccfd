// Taylor steps of W conditions at once, each landing exactly on its own next section point.
#pragma once

#include "precise/precise_state.hpp"
#include "precise/taylor_series.hpp"

// Advances each lanes[j] from its local time tau to its next section point and writes why it
// stopped to stops[j]. Every lane performs the same operations whatever W and isa are (isa
// picks the compiled form of the block kernels and is not read for W = 1).
template <int W>
void advance_to_section(const series_constants& c, int direction, lane_isa isa,
                        precise_state* const* lanes, precise_stop* stops);
