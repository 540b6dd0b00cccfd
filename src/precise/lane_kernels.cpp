// The kernels compiled for the baseline x86-64, for AVX2 and for AVX-512F, and their tables.
// Only the functions marked with a target use the wider instructions; the choice among them is
// made at run time, so the program runs on any x86-64 processor.
#include "precise/lane_kernels.hpp"

#include "precise/series_kernel.hpp"
#include "precise/step_size_kernel.hpp"

namespace {

template <int W>
void coefficients_baseline(const lane_constants<W>& c, series_block<W>& b) {
  kernel_for<W>(c, b);
}

template <int W>
void increments_baseline(const lane_constants<W>& c, series_block<W>& b) {
  increments_for<W>(c, b);
}

template <int W>
unsigned step_sizes_baseline(const lane_constants<W>& c, series_block<W>& b) {
  return step_sizes_for<W>(c, b);
}

// AVX2 computes the coefficients of eight lanes in two halves of four: eight-lane
// accumulators do not fit its sixteen registers, and spilling them made it slower than the
// baseline. -ffp-contract=off holds here too: no multiply and add is fused into an FMA.
__attribute__((target("avx2"))) void coefficients_avx2_8(const lane_constants<8>& c,
                                                         series_block<8>& b) {
  kernel_for<4>(c, b, 0);
  kernel_for<4>(c, b, 4);
}

__attribute__((target("avx2"))) void increments_avx2_8(const lane_constants<8>& c,
                                                       series_block<8>& b) {
  increments_for<4>(c, b, 0);
  increments_for<4>(c, b, 4);
}

__attribute__((target("avx2"))) unsigned step_sizes_avx2_8(const lane_constants<8>& c,
                                                           series_block<8>& b) {
  return step_sizes_for<4>(c, b, 0) | step_sizes_for<4>(c, b, 4);
}

__attribute__((target("avx2"))) void coefficients_avx2_4(const lane_constants<4>& c,
                                                         series_block<4>& b) {
  kernel_for<4>(c, b);
}

__attribute__((target("avx2"))) void increments_avx2_4(const lane_constants<4>& c,
                                                       series_block<4>& b) {
  increments_for<4>(c, b);
}

__attribute__((target("avx2"))) unsigned step_sizes_avx2_4(const lane_constants<4>& c,
                                                           series_block<4>& b) {
  return step_sizes_for<4>(c, b);
}

__attribute__((target("avx512f"))) void coefficients_avx512_8(const lane_constants<8>& c,
                                                              series_block<8>& b) {
  kernel_for<8>(c, b);
}

__attribute__((target("avx512f"))) void increments_avx512_8(const lane_constants<8>& c,
                                                            series_block<8>& b) {
  increments_for<8>(c, b);
}

__attribute__((target("avx512f"))) unsigned step_sizes_avx512_8(const lane_constants<8>& c,
                                                                series_block<8>& b) {
  return step_sizes_for<8>(c, b);
}

constexpr block_kernels<2> baseline_2{coefficients_baseline<2>, increments_baseline<2>,
                                      step_sizes_baseline<2>};
constexpr block_kernels<1> baseline_1{coefficients_baseline<1>, increments_baseline<1>,
                                      step_sizes_baseline<1>};
constexpr block_kernels<4> avx2_4{coefficients_avx2_4, increments_avx2_4, step_sizes_avx2_4};

constexpr lane_kernels baseline_table{
    {coefficients_baseline<8>, increments_baseline<8>, step_sizes_baseline<8>},
    {coefficients_baseline<4>, increments_baseline<4>, step_sizes_baseline<4>},
    baseline_2,
    baseline_1,
};

constexpr lane_kernels avx2_table{
    {coefficients_avx2_8, increments_avx2_8, step_sizes_avx2_8},
    avx2_4,
    baseline_2,
    baseline_1,
};

// Four lanes gain nothing from AVX-512F over AVX2 (the upper sixteen registers need AVX-512VL).
constexpr lane_kernels avx512_table{
    {coefficients_avx512_8, increments_avx512_8, step_sizes_avx512_8},
    avx2_4,
    baseline_2,
    baseline_1,
};

}  // namespace

lane_isa best_lane_isa() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) {
    return lane_isa::avx512;
  }
  if (__builtin_cpu_supports("avx2")) {
    return lane_isa::avx2;
  }
  return lane_isa::baseline;
}

const lane_kernels& kernels_for(lane_isa isa) {
  switch (isa) {
    case lane_isa::avx512:
      return avx512_table;
    case lane_isa::avx2:
      return avx2_table;
    case lane_isa::baseline:
      break;
  }
  return baseline_table;
}

const lane_kernels& best_kernels() {
  // The processor does not change while the program runs: one look-up, made thread-safely
  // on first use, serves every later block.
  static const lane_kernels& best = kernels_for(best_lane_isa());
  return best;
}
