// The cost of the chaos indicator: precise section points without and with the tangent
// equations and the indicator's sums, at L = 5, for one orbit (precise_advance) and for eight
// orbits in SIMD lanes (precise_advance_lanes, as the program runs them).
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

#include "chaos/chaos_accumulator.hpp"
#include "model_fixture.hpp"
#include "precise/precise_advance.hpp"
#include "precise/precise_lanes.hpp"

namespace {

constexpr int points_per_iteration = 50;

// Four orbits on tori and islands, four in the chaotic layer: (phi0, l0) at L = 5.
constexpr std::array<std::array<double, 2>, 8> starts{{{1.5, 1.0},
                                                       {1.5708, 1.5},
                                                       {0.0, 3.0},
                                                       {3.1, -4.5},
                                                       {0.0, 0.25},
                                                       {0.2, 0.8},
                                                       {2.95, 0.0},
                                                       {3.34, -0.8}}};

precise_config config_for(const benchmark::State& state, bool tangent) {
  precise_config c;
  c.tol = std::pow(10.0, -static_cast<double>(state.range(0)));
  c.tangent = tangent;
  return c;
}

// state.range(0): -log10 tol. One orbit on a torus and one in the layer, in turn.
void precise_points(benchmark::State& state, bool tangent) {
  const model_params m = model_with_L(5.0f);
  const precise_config c = config_for(state, tangent);
  for (auto _ : state) {
    for (const std::size_t i : {std::size_t{1}, std::size_t{4}}) {
      precise_state s = precise_start(m, c, starts[i]);
      chaos_accumulator a;
      for (int k = 0; k < points_per_iteration; ++k) {
        benchmark::DoNotOptimize(precise_advance(m, c, s));
        if (tangent) {
          chaos_record_point(a, s.tangent);
        }
      }
      benchmark::DoNotOptimize(chaos_finish(a, 1.0));
    }
  }
  state.SetItemsProcessed(state.iterations() * 2 * points_per_iteration);
}
BENCHMARK_CAPTURE(precise_points, plain, false)
    ->DenseRange(9, 15, 3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(precise_points, tangent_and_megno, true)
    ->DenseRange(9, 15, 3)
    ->Unit(benchmark::kMillisecond);

void precise_lane_points(benchmark::State& state, bool tangent) {
  const model_params m = model_with_L(5.0f);
  const precise_config c = config_for(state, tangent);
  for (auto _ : state) {
    std::vector<precise_state> lanes;
    for (const auto& y0 : starts) {
      lanes.push_back(precise_start(m, c, y0));
    }
    std::vector<precise_stop> stops(lanes.size());
    std::array<chaos_accumulator, starts.size()> a{};
    for (int k = 0; k < points_per_iteration; ++k) {
      precise_advance_lanes(m, c, lanes, stops);
      for (std::size_t i = 0; tangent && i < lanes.size(); ++i) {
        chaos_record_point(a[i], lanes[i].tangent);
      }
    }
    benchmark::DoNotOptimize(lanes.data());
    benchmark::DoNotOptimize(a.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(starts.size()) *
                          points_per_iteration);
}
BENCHMARK_CAPTURE(precise_lane_points, plain, false)
    ->DenseRange(9, 15, 3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(precise_lane_points, tangent_and_megno, true)
    ->DenseRange(9, 15, 3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
