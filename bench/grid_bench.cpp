// Stability maps through the engine: a plane of initial conditions and a plane of two model
// constants, each cell one orbit of 1,000 section points with the chaos indicator, on two
// threads. For each plane: the wall time, and the CPU time per orbit period (per section point)
// beside the plain lanes' figure, the same indicator computed directly in blocks of eight lanes
// of one model on one thread, with no engine around them. The constants plane should cost
// about what the plane of initial conditions costs: its cells share lanes whatever their
// constants. An optional argument sets the cells per side (200 by default).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "chaos/chaos_accumulator.hpp"
#include "dynamics/constants.hpp"
#include "dynamics/model_rules.hpp"
#include "engine/engine.hpp"
#include "precise/precise_advance.hpp"
#include "precise/precise_lanes.hpp"

namespace {

constexpr int n_points = 1000;
constexpr double tol = 1e-10;
constexpr float L = 5.0f;
// Cells of the plane of initial conditions in the plain lanes' sample, in blocks of eight.
constexpr std::size_t plain_sample = 96;

struct plane {
  const char* name;
  std::vector<std::array<double, 2>> y0;
  std::vector<model_params> models;  // empty: every cell has the default constants
};

// Coordinate i of n from `from` to `to`, both included, rounded to single precision as a
// value read from ini.txt or given to --param is.
float coordinate(double from, double to, int i, int n) {
  return static_cast<float>(n == 1 ? from : from + (to - from) * i / (n - 1));
}

model_params model_at_L() {
  model_params m = default_model();
  m.L = L;
  return m;
}

// phi0 in [0, 2 pi) along x, l0 from -5 to 5 along y; rows of y, x fastest.
plane initial_condition_plane(int n) {
  plane p{"initial conditions (phi0, l0)", {}, {}};
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      const auto phi0 = static_cast<float>(two_pi * i / n);
      p.y0.push_back({phi0, coordinate(-5.0, 5.0, j, n)});
    }
  }
  return p;
}

// e from 0 to 0.5 along x, omega from 0.5 to 2 along y, every cell from one seed.
plane constant_plane(int n) {
  plane p{"constants (e, omega)", {}, {}};
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      model_params m = model_at_L();
      m.p_e = coordinate(0.0, 0.5, i, n);
      m.omega = coordinate(0.5, 2.0, j, n);
      p.models.push_back(m);
      p.y0.push_back({0.1f, 0.2f});
    }
  }
  return p;
}

double seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct figure {
  double wall = 0.0;
  double cpu_per_period = 0.0;
  std::size_t chaotic = 0;
  bool complete = false;
};

figure run_plane(const plane& p) {
  run_request r;
  r.m = model_at_L();
  r.config.n_conditions = static_cast<int>(p.y0.size());
  r.config.n_points = n_points;
  r.config.tol = tol;
  r.h0 = 0.1;
  r.method = run_method::precise;
  r.chaos = true;
  r.threads = 2;
  r.y0 = p.y0;
  r.condition_m = p.models;
  figure f;
  run_events e;
  e.end = [&](int, const chaos_summary& c) {
    f.chaotic += c.chaotic ? 1 : 0;
    return true;
  };
  const auto start = std::chrono::steady_clock::now();
  const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID);
  const run_outcome out = run_engine(r, e);
  f.cpu_per_period =
      (seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu) / (static_cast<double>(p.y0.size()) * n_points);
  f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  f.complete = out.end == run_end::complete;
  if (!f.complete) {
    std::printf("%s: the run stopped at condition %d: %s\n", p.name, out.condition,
                out.message.c_str());
  }
  return f;
}

// The plain lanes: blocks of eight consecutive cells spread over the plane of initial
// conditions, advanced directly with the indicator's sums, on this thread.
double plain_lanes_per_period(const plane& p) {
  const model_params m = model_at_L();
  precise_config c;
  c.tol = tol;
  c.tangent = true;
  const std::size_t blocks = plain_sample / 8;
  const std::size_t stride = p.y0.size() / blocks;
  const double cpu = seconds(CLOCK_THREAD_CPUTIME_ID);
  std::size_t periods = 0;
  for (std::size_t b = 0; b < blocks; ++b) {
    std::vector<precise_state> lanes;
    for (std::size_t i = b * stride; i < b * stride + 8 && i < p.y0.size(); ++i) {
      lanes.push_back(precise_start(m, c, p.y0[i]));
    }
    std::vector<precise_stop> stops(lanes.size());
    std::vector<chaos_accumulator> sums(lanes.size());
    for (int k = 0; k < n_points; ++k) {
      precise_advance_lanes(m, c, lanes, stops);
      for (std::size_t j = 0; j < lanes.size(); ++j) {
        chaos_record_point(sums[j], lanes[j].tangent);
      }
    }
    periods += lanes.size() * n_points;
  }
  return (seconds(CLOCK_THREAD_CPUTIME_ID) - cpu) / static_cast<double>(periods);
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 200;
  if (n < 3) {
    std::fprintf(stderr, "usage: grid_bench [cells per side, at least 3; 200 by default]\n");
    return 2;
  }
  const plane ic = initial_condition_plane(n);
  const plane constants = constant_plane(n);
  std::printf(
      "stability maps through run_engine: %d x %d cells, %d points each, tol %g, chaos, "
      "L %g, 2 threads\n",
      n, n, n_points, tol, static_cast<double>(L));
  const double plain = plain_lanes_per_period(ic);
  std::printf("plain lanes (one model, blocks of 8, one thread): %.2f us per period\n",
              plain * 1e6);
  std::printf("  %-30s %10s %14s %10s %9s\n", "plane", "wall s", "CPU us/period", "vs plain",
              "chaotic");
  bool complete = true;
  for (const plane* p : {&ic, &constants}) {
    const figure f = run_plane(*p);
    complete = complete && f.complete;
    std::printf("  %-30s %10.1f %14.2f %9.2fx %8.1f%%\n", p->name, f.wall, f.cpu_per_period * 1e6,
                f.cpu_per_period / plain,
                100.0 * static_cast<double>(f.chaotic) / static_cast<double>(p->y0.size()));
    std::fflush(stdout);
  }
  std::printf("goals: each plane within 1.2x of the plain lanes, under 120 s of wall time\n");
  return complete ? 0 : 1;
}
