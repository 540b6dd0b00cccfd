// The block kernels' step sizes are tolerance_step's, bit for bit, for every lane count and
// instruction set: the lanes' logarithm and exponential repeat the portable functions'
// operations, and lanes off their common path are handed back to tolerance_step.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "precise/lane_kernels.hpp"
#include "precise/taylor_step.hpp"
#include "supported_isas.hpp"

namespace {

// A coefficient: mostly of any size and sign over the whole double range, sometimes a value
// the portable functions treat apart (zero, a subnormal, infinity, NaN).
double coefficient(std::mt19937_64& g, bool ordinary) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double sign = unit(g) < 0.5 ? -1.0 : 1.0;
  if (ordinary) {
    return sign * std::pow(10.0, -40.0 + 50.0 * unit(g));
  }
  constexpr double special[] = {0.0,
                                -0.0,
                                4e-320,
                                std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                1e-300,
                                1e300};
  const double u = unit(g);
  if (u < 0.3) {
    return special[static_cast<std::size_t>(u / 0.3 * 7.0)];
  }
  return sign * std::pow(10.0, -300.0 + 600.0 * unit(g));
}

template <int W>
void expect_step_sizes_of_tolerance_step(const block_kernels<W>& kernels, std::mt19937_64& g) {
  for (int trial = 0; trial < 400; ++trial) {
    const bool ordinary = trial % 2 == 0;
    lane_constants<W> k;
    series_block<W> b;
    k.order = 8 + trial % 23;
    const int p = k.order;
    series_constants one[W];
    for (int j = 0; j < W; ++j) {
      k.tol_rate[j] = std::pow(10.0, -16.0 + 8.0 * std::uniform_real_distribution(0.0, 1.0)(g));
      if (!ordinary && trial % 7 == 1) {
        k.tol_rate[j] = 0.0;
      }
      one[j].tol_rate = k.tol_rate[j];
      one[j].order = p;
      b.phi[p - 1][j] = coefficient(g, ordinary);
      b.phi[p][j] = coefficient(g, ordinary);
      b.l[p - 1][j] = coefficient(g, ordinary);
      b.l[p][j] = coefficient(g, ordinary);
    }
    const unsigned scalar = kernels.step_sizes(k, b);
    for (int j = 0; j < W; ++j) {
      const double expected =
          tolerance_step(one[j], b.phi[p - 1][j], b.phi[p][j], b.l[p - 1][j], b.l[p][j]);
      const bool handed_back = (scalar >> j & 1U) != 0U;
      // catches: ordinary lanes sent to the scalar path, which would hide a wrong lane formula
      if (ordinary) {
        EXPECT_FALSE(handed_back) << "lane " << j << " of " << W;
      }
      if (!handed_back) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(b.h_tol[j]), std::bit_cast<std::uint64_t>(expected))
            << "lane " << j << " of " << W << ": " << b.h_tol[j] << " vs " << expected;
      }
    }
  }
}

TEST(StepSizeKernel, EveryLaneCountAndIsaGivesTheBitsOfTheScalarRule) {
  std::mt19937_64 g(42);
  for (lane_isa isa : supported_isas()) {
    const lane_kernels& table = kernels_for(isa);
    expect_step_sizes_of_tolerance_step(table.w8, g);
    expect_step_sizes_of_tolerance_step(table.w4, g);
    expect_step_sizes_of_tolerance_step(table.w2, g);
    expect_step_sizes_of_tolerance_step(table.w1, g);
  }
}

}  // namespace
