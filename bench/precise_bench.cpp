// The precise method against GSL's rk8pd on the same regular orbits: for each, the cheapest
// tolerance whose largest error against the quad-precision reference is at most 1e-10, then
// the CPU time per point through the engine (run_engine, as the program runs) for 1, 8 and 16
// conditions at 2,000 and 100,000 points beside rk8pd's, and the lane kernels by instruction set.
#include <gsl/gsl_errno.h>
#include <gsl/gsl_odeiv2.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "dynamics/constants.hpp"
#include "dynamics/model.hpp"
#include "dynamics/model_rules.hpp"
#include "engine/engine.hpp"
#include "precise/precise_advance.hpp"
#include "precise/precise_lanes.hpp"
#include "precise/reference_orbit.hpp"

namespace {

constexpr double target = 1e-10;
constexpr int n_points = 200;
constexpr int repeats = 5;

using point_list = std::vector<std::array<double, 2>>;

struct orbit {
  std::array<double, 2> y0{};
  point_list reference;
};

// 16 regular orbits at L = 1 (their tangent vectors grow at most polynomially).
std::vector<orbit> orbits(const model_params& m) {
  std::vector<orbit> o;
  for (double r : {-1.75, -1.5, -1.25, -0.75, -0.5, 0.5, 0.75, 1.25, 1.5, 1.75}) {
    o.push_back({{0.0, r}, {}});
  }
  for (double r : {-1.5, -1.25, -0.25, 0.25, 1.25, 1.5}) {
    o.push_back({{pi / 2.0, r}, {}});
  }
  for (orbit& each : o) {
    each.reference = reference_points(m, 1, each.y0, n_points, 12);
  }
  return o;
}

double distance(const std::array<double, 2>& p, const std::array<double, 2>& r) {
  return std::fmax(std::fabs(std::remainder(p[0] - r[0], 2.0 * pi)), std::fabs(p[1] - r[1]));
}

// Points of every orbit by the precise method, one condition at a time or all in lanes.
std::vector<point_list> run_precise(const model_params& m, double tol, bool lanes,
                                    const std::vector<orbit>& o, lane_isa isa) {
  precise_config c;
  c.tol = tol;
  std::vector<point_list> out(o.size());
  std::vector<precise_state> s;
  for (const orbit& each : o) {
    s.push_back(precise_start(m, c, each.y0));
  }
  if (lanes) {
    std::vector<precise_stop> stops(s.size());
    for (int k = 0; k < n_points; ++k) {
      precise_advance_lanes_on(isa, m, c, s, stops);
      for (std::size_t j = 0; j < s.size(); ++j) {
        out[j].push_back(precise_point(s[j], m.L));
      }
    }
    return out;
  }
  for (std::size_t j = 0; j < s.size(); ++j) {
    for (int k = 0; k < n_points; ++k) {
      precise_advance(m, c, s[j]);
      out[j].push_back(precise_point(s[j], m.L));
    }
  }
  return out;
}

int gsl_rates(double t, const double y[], double dydt[], void* params) {
  const auto* c = static_cast<const rate_constants*>(params);
  const std::array<double, 2> r = rates(*c, std::sin(c->omega * t), {y[0], y[1]});
  dydt[0] = r[0];
  dydt[1] = r[1];
  return GSL_SUCCESS;
}

// Points of every orbit by gsl_odeiv2_driver_apply to each t_k, with epsabs = tol and
// epsrel = rel * tol.
std::vector<point_list> run_gsl(const model_params& m, double tol, const std::vector<orbit>& o,
                                double rel, int points = n_points) {
  rate_constants c = derive_rate_constants(m);
  gsl_odeiv2_system sys{gsl_rates, nullptr, 2, &c};
  gsl_odeiv2_driver* d =
      gsl_odeiv2_driver_alloc_y_new(&sys, gsl_odeiv2_step_rk8pd, 1e-3, tol, rel * tol);
  std::vector<point_list> out(o.size());
  for (std::size_t j = 0; j < o.size(); ++j) {
    gsl_odeiv2_driver_reset(d);
    double t = 0.0;
    double y[2] = {o[j].y0[0], o[j].y0[1]};
    for (int k = 0; k < points; ++k) {
      if (gsl_odeiv2_driver_apply(d, &t, (4 * k + 2) * pi / c.omega, y) != GSL_SUCCESS) {
        out[j].push_back({NAN, NAN});
        continue;
      }
      out[j].push_back({std::fmod(std::fmod(y[0], 2.0 * pi) + 2.0 * pi, 2.0 * pi),
                        y[1] / static_cast<double>(m.L)});
    }
  }
  gsl_odeiv2_driver_free(d);
  return out;
}

double max_error(const std::vector<point_list>& points, const std::vector<orbit>& o) {
  double worst = 0.0;
  for (std::size_t j = 0; j < o.size(); ++j) {
    for (std::size_t k = 0; k < points[j].size(); ++k) {
      const double e = distance(points[j][k], o[j].reference[k]);
      worst = std::isnan(e) ? HUGE_VAL : std::fmax(worst, e);
    }
  }
  return worst;
}

struct choice {
  double tol = 0.0;
  double error = HUGE_VAL;
};

// The largest tolerance of the list (tried from large to small) that meets the target.
choice cheapest(const std::function<std::vector<point_list>(double)>& run,
                const std::vector<orbit>& o, const std::vector<double>& tols) {
  for (double tol : tols) {
    const double e = max_error(run(tol), o);
    std::printf("    tol %8.1e  max error %9.2e\n", tol, e);
    if (e <= target) {
      return {tol, e};
    }
  }
  return {};
}

double cpu_seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Best and worst CPU time per point over `repeats` whole runs: the machine may be shared, and
// CPU time is what the method costs. The process clock counts the engine's worker threads.
std::array<double, 2> time_per_point(const std::function<void()>& run, std::size_t points,
                                     int times = repeats,
                                     clockid_t clock = CLOCK_THREAD_CPUTIME_ID) {
  std::array<double, 2> range{HUGE_VAL, 0.0};
  for (int i = 0; i < times; ++i) {
    const double start = cpu_seconds(clock);
    run();
    const double per_point = (cpu_seconds(clock) - start) / static_cast<double>(points);
    range = {std::fmin(range[0], per_point), std::fmax(range[1], per_point)};
  }
  return range;
}

std::vector<orbit> first(const std::vector<orbit>& o, std::size_t n) {
  return {o.begin(), o.begin() + static_cast<std::ptrdiff_t>(n)};
}

// The precise method through run_engine, as the program runs it, the points only counted.
void run_engine_precise(const model_params& m, double tol, const std::vector<orbit>& o,
                        int points) {
  run_request r;
  r.m = m;
  r.config.n_conditions = static_cast<int>(o.size());
  r.config.n_points = points;
  r.config.tol = tol;
  r.h0 = 0.1;
  r.method = run_method::precise;
  for (const orbit& each : o) {
    r.y0.push_back(each.y0);
  }
  long long count = 0;
  run_events e;
  e.points = [&](int, std::span<const section_point> p) {
    count += static_cast<long long>(p.size());
    return true;
  };
  const run_outcome out = run_engine(r, e);
  if (out.end != run_end::complete || count != static_cast<long long>(o.size()) * points) {
    std::printf("engine run incomplete: %s\n", out.message.c_str());
  }
}

}  // namespace

int main() {
  gsl_set_error_handler_off();
  model_params m = default_model();
  m.L = 1.0f;
  std::printf("reference orbits (quad precision), %d points each ...\n", n_points);
  const std::vector<orbit> all = orbits(m);
  const std::vector<double> gsl_tols{1e-10, 3e-11, 1e-11, 3e-12, 1e-12, 3e-13, 1e-13, 3e-14};

  std::printf("precise: tolerance search (16 orbits)\n");
  const choice p =
      cheapest([&](double tol) { return run_precise(m, tol, false, all, lane_isa::baseline); }, all,
               {1e-8, 3e-9, 1e-9, 3e-10, 1e-10, 3e-11, 1e-11, 3e-12, 1e-12});
  // GSL's error control with and without the relative part; the faster one is compared.
  choice g;
  double gsl_rel = 0.0;
  double gsl_best = HUGE_VAL;
  for (double rel : {1.0, 0.0}) {
    std::printf("GSL rk8pd, epsrel = %g * epsabs: tolerance search (16 orbits)\n", rel);
    const choice c = cheapest([&](double tol) { return run_gsl(m, tol, all, rel); }, all, gsl_tols);
    if (c.tol == 0.0) {
      continue;
    }
    const auto t = time_per_point([&] { run_gsl(m, c.tol, all, rel); }, all.size() * n_points);
    if (t[0] < gsl_best) {
      g = c;
      gsl_rel = rel;
      gsl_best = t[0];
    }
  }
  if (g.tol == 0.0 || p.tol == 0.0) {
    std::printf("a method missed the target at every tolerance\n");
    return 1;
  }
  std::printf(
      "\nAt equal accuracy (largest error over the 16 orbits): precise tol %.1e, error %.2e; "
      "GSL rk8pd epsabs %.1e epsrel %.1e, error %.2e.\n",
      p.tol, p.error, g.tol, gsl_rel * g.tol, g.error);
  std::printf(
      "CPU time per point in us, best-worst of %d runs at 2,000 points, one run at 100,000;\n"
      "precise through run_engine on every core (all its threads counted), GSL on one thread:\n"
      "  conditions  points   precise (engine)     GSL rk8pd        GSL / precise\n",
      repeats);
  for (const int points : {2000, 100000}) {
    const int times = points < 10000 ? repeats : 1;
    for (const std::size_t n : {std::size_t{1}, std::size_t{8}, std::size_t{16}}) {
      const std::vector<orbit> o = first(all, n);
      const auto e =
          time_per_point([&] { run_engine_precise(m, p.tol, o, points); },
                         n * static_cast<std::size_t>(points), times, CLOCK_PROCESS_CPUTIME_ID);
      // rk8pd runs one condition after another, its cost per point the same whatever their
      // number: at 100,000 points it is measured on one condition only, to keep the run short.
      const std::vector<orbit> gsl_o = points < 10000 ? o : first(all, 1);
      const auto gt = time_per_point([&] { run_gsl(m, g.tol, gsl_o, gsl_rel, points); },
                                     gsl_o.size() * static_cast<std::size_t>(points), times);
      std::printf("  %10zu %7d   %7.2f-%7.2f   %7.2f-%7.2f%s   %6.1fx\n", n, points, e[0] * 1e6,
                  e[1] * 1e6, gt[0] * 1e6, gt[1] * 1e6, gsl_o.size() < n ? "*" : " ", gt[0] / e[0]);
    }
  }
  std::printf("  (* rk8pd on the first condition)\n");
  std::printf("Lane kernels, 16 conditions of %d points on one thread, per point:", n_points);
  const char* names[] = {"baseline", "avx2", "avx512"};
  const auto t1 = time_per_point([&] { run_precise(m, p.tol, false, all, lane_isa::baseline); },
                                 all.size() * n_points);
  std::printf(" scalar %.2f us", t1[0] * 1e6);
  for (lane_isa isa : {lane_isa::baseline, lane_isa::avx2, lane_isa::avx512}) {
    if (static_cast<int>(best_lane_isa()) < static_cast<int>(isa)) {
      break;
    }
    const auto t =
        time_per_point([&] { run_precise(m, p.tol, true, all, isa); }, all.size() * n_points);
    std::printf(", %s %.2f us", names[static_cast<int>(isa)], t[0] * 1e6);
  }
  std::printf("\n");
  return 0;
}
