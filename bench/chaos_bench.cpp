// The cost of the chaos indicator: precise section points of one orbit without and with the
// tangent equations (and the indicator's sums), at L = 5 on a torus and in the chaotic layer.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>

#include "chaos/chaos_accumulator.hpp"
#include "model_fixture.hpp"
#include "precise/precise_advance.hpp"

namespace {

constexpr int points_per_iteration = 50;

// state.range(0): 0 on a torus, 1 in the chaotic layer; range(1): -log10 tol.
void precise_points(benchmark::State& state, bool tangent) {
  const model_params m = model_with_L(5.0f);
  precise_config c;
  c.tol = std::pow(10.0, -static_cast<double>(state.range(1)));
  c.tangent = tangent;
  const std::array<double, 2> y0 =
      state.range(0) == 0 ? std::array{1.5708, 1.5} : std::array{0.0, 0.25};
  for (auto _ : state) {
    precise_state s = precise_start(m, c, y0);
    chaos_accumulator a;
    for (int i = 0; i < points_per_iteration; ++i) {
      benchmark::DoNotOptimize(precise_advance(m, c, s));
      if (tangent) {
        chaos_record_point(a, s);
      }
    }
    benchmark::DoNotOptimize(chaos_finish(a, 1.0));
  }
  state.SetItemsProcessed(state.iterations() * points_per_iteration);
}
BENCHMARK_CAPTURE(precise_points, plain, false)
    ->ArgsProduct({{0, 1}, {9, 12, 15}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(precise_points, tangent_and_megno, true)
    ->ArgsProduct({{0, 1}, {9, 12, 15}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
