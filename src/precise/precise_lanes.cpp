// Lanes advance in blocks of 8, then 4, 2 and 1 for the rest: a short block costs what its
// own lanes cost, and one condition alone costs what the scalar path costs.
#include "precise/precise_lanes.hpp"

#include <cstddef>

#include "precise/lane_block.hpp"

namespace {

// Advances lanes[first .. first + W) as one block with table k's kernels for W lanes.
template <int W>
void advance_block(const series_constants& s, const precise_config& c, const lane_kernels& k,
                   std::span<precise_state> lanes, std::span<precise_stop> stops,
                   std::size_t first) {
  precise_state* lane[W];
  precise_stop stop[W];
  for (std::size_t j = 0; j < W; ++j) {
    lane[j] = &lanes[first + j];
  }
  advance_to_section<W>(s, c, kernels_of_width<W>(k), lane, stop);
  for (std::size_t j = 0; j < W; ++j) {
    stops[first + j] = stop[j];
  }
}

void advance_with(const lane_kernels& k, const model_params& m, const precise_config& c,
                  std::span<precise_state> lanes, std::span<precise_stop> stops) {
  const series_constants s = make_series_constants(m, c);
  std::size_t first = 0;
  constexpr auto widest = static_cast<std::size_t>(block_lanes);
  for (; lanes.size() - first >= widest; first += widest) {
    advance_block<block_lanes>(s, c, k, lanes, stops, first);
  }
  if (lanes.size() - first >= 4) {
    advance_block<4>(s, c, k, lanes, stops, first);
    first += 4;
  }
  if (lanes.size() - first >= 2) {
    advance_block<2>(s, c, k, lanes, stops, first);
    first += 2;
  }
  if (lanes.size() - first >= 1) {
    advance_block<1>(s, c, k, lanes, stops, first);
  }
}

}  // namespace

void precise_advance_lanes(const model_params& m, const precise_config& c,
                           std::span<precise_state> lanes, std::span<precise_stop> stops) {
  advance_with(best_kernels(), m, c, lanes, stops);
}

void precise_advance_lanes_on(lane_isa isa, const model_params& m, const precise_config& c,
                              std::span<precise_state> lanes, std::span<precise_stop> stops) {
  advance_with(kernels_for(isa), m, c, lanes, stops);
}
