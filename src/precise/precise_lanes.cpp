// Lanes advance in blocks of lanes with the same Taylor order: blocks of 8 while 8 remain, then
// 4, 2 and 1 for the rest, so that a short block costs what its own lanes cost, and one
// condition alone costs what the scalar path costs.
#include "precise/precise_lanes.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "precise/lane_block.hpp"

namespace {

// Advances the W lanes lane_of(first .. first + W) as one block with table k's kernels for W
// lanes; constants_of(i) gives the constants of lanes[i].
template <int W, typename LaneOf, typename ConstantsOf>
void advance_block(const lane_kernels& k, const precise_config& c, std::span<precise_state> lanes,
                   std::span<precise_stop> stops, std::size_t first, const LaneOf& lane_of,
                   const ConstantsOf& constants_of) {
  const series_constants* constant[W];
  precise_state* lane[W];
  precise_stop stop[W];
  for (std::size_t j = 0; j < W; ++j) {
    const std::size_t i = lane_of(first + j);
    constant[j] = constants_of(i);
    lane[j] = &lanes[i];
  }
  advance_to_section<W>(constant, c, kernels_of_width<W>(k), lane, stop);
  for (std::size_t j = 0; j < W; ++j) {
    stops[lane_of(first + j)] = stop[j];
  }
}

// The lanes lane_of(from .. to), all of one order, in blocks of 8, then at most one each of 4,
// 2 and 1.
template <typename LaneOf, typename ConstantsOf>
void advance_same_order(const lane_kernels& k, const precise_config& c,
                        std::span<precise_state> lanes, std::span<precise_stop> stops,
                        std::size_t from, std::size_t to, const LaneOf& lane_of,
                        const ConstantsOf& constants_of) {
  std::size_t first = from;
  constexpr auto widest = static_cast<std::size_t>(block_lanes);
  for (; to - first >= widest; first += widest) {
    advance_block<block_lanes>(k, c, lanes, stops, first, lane_of, constants_of);
  }
  if (to - first >= 4) {
    advance_block<4>(k, c, lanes, stops, first, lane_of, constants_of);
    first += 4;
  }
  if (to - first >= 2) {
    advance_block<2>(k, c, lanes, stops, first, lane_of, constants_of);
    first += 2;
  }
  if (to - first >= 1) {
    advance_block<1>(k, c, lanes, stops, first, lane_of, constants_of);
  }
}

// Runs of lanes of one order, taken in the sequence lane_of(0 .. n) in which equal orders are
// adjacent.
template <typename LaneOf>
void advance_by_order(const lane_kernels& k, std::span<const series_constants> constants,
                      const precise_config& c, std::span<precise_state> lanes,
                      std::span<precise_stop> stops, const LaneOf& lane_of) {
  const auto constants_of = [&](std::size_t i) { return &constants[i]; };
  std::size_t first = 0;
  while (first < lanes.size()) {
    const int order = constants[lane_of(first)].order;
    std::size_t end = first + 1;
    while (end < lanes.size() && constants[lane_of(end)].order == order) {
      ++end;
    }
    advance_same_order(k, c, lanes, stops, first, end, lane_of, constants_of);
    first = end;
  }
}

// A block computes one order for all its lanes, and each lane must have the order it has
// alone: lanes of equal order are grouped, in their own sequence. Lanes already in order of
// their orders (one model, or a caller that keeps them so) need no reordering.
void advance_each(const lane_kernels& k, std::span<const series_constants> constants,
                  const precise_config& c, std::span<precise_state> lanes,
                  std::span<precise_stop> stops) {
  const auto lower_order = [](const series_constants& a, const series_constants& b) {
    return a.order < b.order;
  };
  if (std::is_sorted(constants.begin(), constants.end(), lower_order)) {
    advance_by_order(k, constants, c, lanes, stops, [](std::size_t i) { return i; });
    return;
  }
  std::vector<std::size_t> index(lanes.size());
  for (std::size_t i = 0; i < index.size(); ++i) {
    index[i] = i;
  }
  std::stable_sort(index.begin(), index.end(), [&](std::size_t a, std::size_t b) {
    return constants[a].order < constants[b].order;
  });
  advance_by_order(k, constants, c, lanes, stops, [&](std::size_t i) { return index[i]; });
}

void advance_uniform(const lane_kernels& k, const model_params& m, const precise_config& c,
                     std::span<precise_state> lanes, std::span<precise_stop> stops) {
  const series_constants s = make_series_constants(m, c);
  advance_same_order(
      k, c, lanes, stops, 0, lanes.size(), [](std::size_t i) { return i; },
      [&](std::size_t) { return &s; });
}

}  // namespace

void precise_advance_lanes(const model_params& m, const precise_config& c,
                           std::span<precise_state> lanes, std::span<precise_stop> stops) {
  advance_uniform(best_kernels(), m, c, lanes, stops);
}

void precise_advance_lanes_on(lane_isa isa, const model_params& m, const precise_config& c,
                              std::span<precise_state> lanes, std::span<precise_stop> stops) {
  advance_uniform(kernels_for(isa), m, c, lanes, stops);
}

void precise_advance_lanes(std::span<const series_constants> constants, const precise_config& c,
                           std::span<precise_state> lanes, std::span<precise_stop> stops) {
  advance_each(best_kernels(), constants, c, lanes, stops);
}

void precise_advance_lanes_on(lane_isa isa, std::span<const series_constants> constants,
                              const precise_config& c, std::span<precise_state> lanes,
                              std::span<precise_stop> stops) {
  advance_each(kernels_for(isa), constants, c, lanes, stops);
}
