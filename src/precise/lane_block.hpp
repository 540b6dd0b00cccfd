// Taylor steps of W conditions at once, each landing exactly on its own next section point.
#pragma once

#include "precise/lane_kernels.hpp"
#include "precise/precise_state.hpp"
#include "precise/taylor_series.hpp"

// Advances each lanes[j] with the constants *constants[j] from its local time tau to its next
// section point and writes why it stopped to stops[j]. The lanes' constants may differ but for
// their order and tangent setting, which must be the same. Every lane performs the operations
// it would perform alone, whatever W and the kernels' instruction set are. A set pc.cancel
// stops every lane still going at its next step.
template <int W>
void advance_to_section(const series_constants* const* constants, const precise_config& pc,
                        const block_kernels<W>& kernels, precise_state* const* lanes,
                        precise_stop* stops);
