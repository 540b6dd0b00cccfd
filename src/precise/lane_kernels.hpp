// The block kernels of every lane count, compiled for each instruction set, in one table per
// instruction set; the widest table the processor supports is chosen once, at first use.
#pragma once

#include "precise/taylor_series.hpp"

// Lane counts of the blocks: a run of n conditions takes blocks of 8 while 8 remain, then at
// most one each of 4, 2 and 1 (11 = 8 + 2 + 1), so that no lane computes a copy.
constexpr int block_lanes = 8;

// Instruction sets the kernels are compiled for; every one gives the same bits.
enum class lane_isa { baseline, avx2, avx512 };

// The widest instruction set this processor and its operating system support.
lane_isa best_lane_isa();

// The kernels of a block of W lanes.
template <int W>
struct block_kernels {
  // Fills orders 1..p of every lane from the order-0 inputs phi0, phi0_lo, omega_tau, l[0]
  // and, with the tangent, u[0] and w[0], each lane with its own constants.
  void (*coefficients)(const lane_constants<W>& c, series_block<W>& b) = nullptr;
  // Fills d_phi, d_l (with the tangent d_u, d_w too) from the coefficients and h.
  void (*increments)(const lane_constants<W>& c, series_block<W>& b) = nullptr;
  // Fills h_tol of every lane by tolerance_step's rule from the coefficients of orders p - 1
  // and p; returns the lanes (bit j for lane j) whose h_tol must come from tolerance_step
  // itself, their arguments being off the common path of the portable functions.
  unsigned (*step_sizes)(const lane_constants<W>& c, series_block<W>& b) = nullptr;
};

// One instruction set's kernels for every lane count. Where a set has nothing wider to offer
// for a count (two lanes, one lane) its table holds the baseline kernel.
struct lane_kernels {
  block_kernels<8> w8;
  block_kernels<4> w4;
  block_kernels<2> w2;
  block_kernels<1> w1;
};

// The table for isa, which the processor must support (for tests and benchmarks).
const lane_kernels& kernels_for(lane_isa isa);

// The table for best_lane_isa(), looked up on the first call only.
const lane_kernels& best_kernels();

// The entry of table k for W lanes.
template <int W>
const block_kernels<W>& kernels_of_width(const lane_kernels& k);
template <>
inline const block_kernels<8>& kernels_of_width<8>(const lane_kernels& k) {
  return k.w8;
}
template <>
inline const block_kernels<4>& kernels_of_width<4>(const lane_kernels& k) {
  return k.w4;
}
template <>
inline const block_kernels<2>& kernels_of_width<2>(const lane_kernels& k) {
  return k.w2;
}
template <>
inline const block_kernels<1>& kernels_of_width<1>(const lane_kernels& k) {
  return k.w1;
}
