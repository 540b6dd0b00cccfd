// The precise method for several conditions at once, in SIMD lanes.
#pragma once

#include <span>

#include "dynamics/model.hpp"
#include "precise/lane_kernels.hpp"
#include "precise/precise_state.hpp"
#include "precise/taylor_series.hpp"

// Advances every lane to its own next section point, as precise_advance would, bit for bit,
// and writes each lane's stop to stops (same size as lanes).
void precise_advance_lanes(const model_params& m, const precise_config& c,
                           std::span<precise_state> lanes, std::span<precise_stop> stops);

// The same with the kernel compiled for isa, which the processor must support; for tests and
// benchmarks that compare instruction sets.
void precise_advance_lanes_on(lane_isa isa, const model_params& m, const precise_config& c,
                              std::span<precise_state> lanes, std::span<precise_stop> stops);

// The same where each lane has its own model: lane i takes constants[i], made by
// make_series_constants from its model and c. Lanes of the same Taylor order share blocks; each
// gets the bits it would get alone.
void precise_advance_lanes(std::span<const series_constants> constants, const precise_config& c,
                           std::span<precise_state> lanes, std::span<precise_stop> stops);

void precise_advance_lanes_on(lane_isa isa, std::span<const series_constants> constants,
                              const precise_config& c, std::span<precise_state> lanes,
                              std::span<precise_stop> stops);
