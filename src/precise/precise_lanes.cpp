// Lanes advance in blocks of block_lanes; a short last block is padded with copies.
#include "precise/precise_lanes.hpp"

#include <cstddef>

#include "precise/lane_block.hpp"

void precise_advance_lanes(const model_params& m, const precise_config& c,
                           std::span<precise_state> lanes, std::span<precise_stop> stops) {
  precise_advance_lanes_on(best_lane_isa(), m, c, lanes, stops);
}

void precise_advance_lanes_on(lane_isa isa, const model_params& m, const precise_config& c,
                              std::span<precise_state> lanes, std::span<precise_stop> stops) {
  const series_constants k = make_series_constants(m, c);
  constexpr auto width = static_cast<std::size_t>(block_lanes);
  for (std::size_t first = 0; first < lanes.size(); first += width) {
    const std::size_t n = lanes.size() - first < width ? lanes.size() - first : width;
    precise_state padding[block_lanes];
    precise_state* lane[block_lanes];
    precise_stop stop[block_lanes];
    for (std::size_t j = 0; j < width; ++j) {
      if (j < n) {
        lane[j] = &lanes[first + j];
      } else {
        padding[j] = lanes[first];
        lane[j] = &padding[j];
      }
    }
    advance_to_section<block_lanes>(k, c.direction, isa, lane, stop);
    for (std::size_t j = 0; j < n; ++j) {
      stops[first + j] = stop[j];
    }
  }
}
