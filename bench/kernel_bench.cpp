// Kernel figures: one trial step and one section point, literal against the program's own.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "dynamics/rk4_step.hpp"
#include "model_fixture.hpp"
#include "oracle/literal_oracle.hpp"
#include "section/section_map.hpp"

namespace {

void literal_trial(benchmark::State& state) {
  oracle::state s;
  s.t = 3.0;
  s.y[0] = 0.7;
  s.y[1] = 0.4;
  s.h = 0.006;
  for (auto _ : state) {
    benchmark::DoNotOptimize(oracle::rk4_step(1.0f, s));
    s.t = s.t_new;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(literal_trial);

void program_trial_from_new_start(benchmark::State& state) {
  trial_kernel k = make_trial_kernel(model_with_L());
  integration_state s;
  s.t = 3.0;
  s.y = {0.7, 0.4};
  s.h = 0.006;
  for (auto _ : state) {
    begin_step(k, s);
    benchmark::DoNotOptimize(trial_step(k, s));
    s.t = s.t_new;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(program_trial_from_new_start);

constexpr int points_per_iteration = 20;

void literal_section_points(benchmark::State& state) {
  for (auto _ : state) {
    oracle::state s;
    s.h = static_cast<double>(0.1f);
    s.y[0] = 0.5;
    s.y[1] = 0.5;
    benchmark::DoNotOptimize(oracle::section_map(
        1.0f, static_cast<double>(1e-9f), static_cast<double>(1e-7f), points_per_iteration, s));
  }
  state.SetItemsProcessed(state.iterations() * points_per_iteration);
}
BENCHMARK(literal_section_points)->Unit(benchmark::kMillisecond);

void program_section_points(benchmark::State& state) {
  const model_params m = model_with_L();
  run_config config;
  config.n_points = points_per_iteration;
  config.tol = static_cast<double>(1e-9f);
  config.eps = static_cast<double>(1e-7f);
  point_list sink;
  for (auto _ : state) {
    sink.clear();
    integration_state s;
    s.h = static_cast<double>(0.1f);
    s.y = {0.5, 0.5};
    benchmark::DoNotOptimize(run_section_map(m, config, s, sink));
  }
  state.SetItemsProcessed(state.iterations() * points_per_iteration);
}
BENCHMARK(program_section_points)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
