// Lanes advance in blocks of lanes with the same Taylor order: blocks of 8 while 8 remain, then
// 4, 2 and 1 for the rest, so that a short block costs what its own lanes cost, and one
// condition alone costs what the scalar path costs.
#include "precise/precise_lanes.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "precise/lane_block.hpp"

namespace {

// Advances the W lanes index[0 .. W) as one block with table k's kernels for W lanes.
template <int W>
void advance_block(const lane_kernels& k, std::span<const series_constants* const> constants,
                   const precise_config& c, std::span<precise_state> lanes,
                   std::span<precise_stop> stops, const std::size_t* index) {
  const series_constants* constant[W];
  precise_state* lane[W];
  precise_stop stop[W];
  for (std::size_t j = 0; j < W; ++j) {
    constant[j] = constants[index[j]];
    lane[j] = &lanes[index[j]];
  }
  advance_to_section<W>(constant, c, kernels_of_width<W>(k), lane, stop);
  for (std::size_t j = 0; j < W; ++j) {
    stops[index[j]] = stop[j];
  }
}

// The lanes index[0 .. n), all of one order, in blocks of 8, then at most one each of 4, 2, 1.
void advance_same_order(const lane_kernels& k, std::span<const series_constants* const> constants,
                        const precise_config& c, std::span<precise_state> lanes,
                        std::span<precise_stop> stops, const std::size_t* index, std::size_t n) {
  std::size_t first = 0;
  constexpr auto widest = static_cast<std::size_t>(block_lanes);
  for (; n - first >= widest; first += widest) {
    advance_block<block_lanes>(k, constants, c, lanes, stops, index + first);
  }
  if (n - first >= 4) {
    advance_block<4>(k, constants, c, lanes, stops, index + first);
    first += 4;
  }
  if (n - first >= 2) {
    advance_block<2>(k, constants, c, lanes, stops, index + first);
    first += 2;
  }
  if (n - first >= 1) {
    advance_block<1>(k, constants, c, lanes, stops, index + first);
  }
}

// Lanes grouped by their Taylor order, the lanes of one order in their own sequence: a block
// computes one order for all its lanes, and each lane must have the order it has alone.
void advance_with(const lane_kernels& k, std::span<const series_constants* const> constants,
                  const precise_config& c, std::span<precise_state> lanes,
                  std::span<precise_stop> stops) {
  std::vector<std::size_t> index(lanes.size());
  for (std::size_t i = 0; i < index.size(); ++i) {
    index[i] = i;
  }
  const auto lower_order = [&](std::size_t a, std::size_t b) {
    return constants[a]->order < constants[b]->order;
  };
  if (!std::is_sorted(index.begin(), index.end(), lower_order)) {
    std::stable_sort(index.begin(), index.end(), lower_order);
  }
  std::size_t first = 0;
  while (first < index.size()) {
    const int order = constants[index[first]]->order;
    std::size_t end = first;
    while (end < index.size() && constants[index[end]]->order == order) {
      ++end;
    }
    advance_same_order(k, constants, c, lanes, stops, index.data() + first, end - first);
    first = end;
  }
}

void advance_uniform(const lane_kernels& k, const model_params& m, const precise_config& c,
                     std::span<precise_state> lanes, std::span<precise_stop> stops) {
  const series_constants s = make_series_constants(m, c);
  const std::vector<const series_constants*> constants(lanes.size(), &s);
  advance_with(k, constants, c, lanes, stops);
}

void advance_each(const lane_kernels& k, std::span<const series_constants> constants,
                  const precise_config& c, std::span<precise_state> lanes,
                  std::span<precise_stop> stops) {
  std::vector<const series_constants*> each(lanes.size());
  for (std::size_t i = 0; i < each.size(); ++i) {
    each[i] = &constants[i];
  }
  advance_with(k, each, c, lanes, stops);
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
