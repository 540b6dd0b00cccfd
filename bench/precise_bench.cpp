// The precise method against GSL's rk8pd on the same regular orbits: for each, the cheapest
// tolerance whose largest error against the quad-precision reference is at most 1e-10, then
// the time per point, one condition at a time and 16 conditions in SIMD lanes.
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
                                    const std::vector<orbit>& o, lane_isa isa = best_lane_isa()) {
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
                                double rel) {
  rate_constants c = derive_rate_constants(m);
  gsl_odeiv2_system sys{gsl_rates, nullptr, 2, &c};
  gsl_odeiv2_driver* d =
      gsl_odeiv2_driver_alloc_y_new(&sys, gsl_odeiv2_step_rk8pd, 1e-3, tol, rel * tol);
  std::vector<point_list> out(o.size());
  for (std::size_t j = 0; j < o.size(); ++j) {
    gsl_odeiv2_driver_reset(d);
    double t = 0.0;
    double y[2] = {o[j].y0[0], o[j].y0[1]};
    for (int k = 0; k < n_points; ++k) {
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

double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Best and worst CPU time per point over a few repetitions of a whole run: the machine may be
// shared, and CPU time of this one thread is what the method costs.
std::array<double, 2> time_per_point(const std::function<void()>& run, std::size_t n_orbits) {
  std::array<double, 2> range{HUGE_VAL, 0.0};
  for (int i = 0; i < repeats; ++i) {
    const double start = thread_seconds();
    run();
    const double per_point = (thread_seconds() - start) / static_cast<double>(n_orbits * n_points);
    range = {std::fmin(range[0], per_point), std::fmax(range[1], per_point)};
  }
  return range;
}

}  // namespace

int main() {
  gsl_set_error_handler_off();
  model_params m = default_model();
  m.L = 1.0f;
  std::printf("reference orbits (quad precision), %d points each ...\n", n_points);
  const std::vector<orbit> all = orbits(m);
  const std::vector<orbit> one(all.begin(), all.begin() + 1);
  const std::vector<double> gsl_tols{1e-10, 3e-11, 1e-11, 3e-12, 1e-12, 3e-13, 1e-13, 3e-14};

  std::printf("precise: tolerance search (16 orbits)\n");
  const choice p = cheapest([&](double tol) { return run_precise(m, tol, false, all); }, all,
                            {1e-8, 3e-9, 1e-9, 3e-10, 1e-10, 3e-11, 1e-11, 3e-12, 1e-12});
  // GSL's error control with and without the relative part; the faster one is compared.
  choice g;
  double gsl_rel = 0.0;
  std::array<double, 2> gsl_all{HUGE_VAL, HUGE_VAL};
  for (double rel : {1.0, 0.0}) {
    std::printf("GSL rk8pd, epsrel = %g * epsabs: tolerance search (16 orbits)\n", rel);
    const choice c = cheapest([&](double tol) { return run_gsl(m, tol, all, rel); }, all, gsl_tols);
    if (c.tol == 0.0) {
      continue;
    }
    const auto t = time_per_point([&] { run_gsl(m, c.tol, all, rel); }, all.size());
    if (t[0] < gsl_all[0]) {
      g = c;
      gsl_rel = rel;
      gsl_all = t;
    }
  }
  if (g.tol == 0.0 || p.tol == 0.0) {
    std::printf("a method missed the target at every tolerance\n");
    return 1;
  }

  const auto gsl_one = time_per_point([&] { run_gsl(m, g.tol, one, gsl_rel); }, 1);
  const auto p_one = time_per_point([&] { run_precise(m, p.tol, false, one); }, 1);
  const auto p_all = time_per_point([&] { run_precise(m, p.tol, false, all); }, all.size());
  const auto p_lanes = time_per_point([&] { run_precise(m, p.tol, true, all); }, all.size());
  const auto us = [](const std::array<double, 2>& r) {
    return std::array<double, 2>{r[0] * 1e6, r[1] * 1e6};
  };
  std::printf(
      "\nCPU time per point on one thread, best-worst of %d runs; largest error over the 16 "
      "orbits:\n",
      repeats);
  std::printf(
      "  GSL rk8pd  epsabs %7.1e epsrel %7.1e  error %8.2e  1 condition %6.2f-%6.2f us  16: "
      "%6.2f-%6.2f us\n",
      g.tol, gsl_rel * g.tol, g.error, us(gsl_one)[0], us(gsl_one)[1], us(gsl_all)[0],
      us(gsl_all)[1]);
  std::printf(
      "  precise    tol %7.1e                 error %8.2e  1 condition %6.2f-%6.2f us  16: "
      "%6.2f-%6.2f us scalar, %6.2f-%6.2f us lanes\n",
      p.tol, p.error, us(p_one)[0], us(p_one)[1], us(p_all)[0], us(p_all)[1], us(p_lanes)[0],
      us(p_lanes)[1]);
  std::printf("  speed-up (best times): 1 condition %.1fx, 16 conditions in lanes %.1fx\n",
              gsl_one[0] / p_one[0], gsl_all[0] / p_lanes[0]);
  std::printf("  precise lanes by instruction set (16 conditions):");
  const char* names[] = {"baseline", "avx2", "avx512"};
  for (lane_isa isa : {lane_isa::baseline, lane_isa::avx2, lane_isa::avx512}) {
    if (static_cast<int>(best_lane_isa()) < static_cast<int>(isa)) {
      break;
    }
    const auto t = time_per_point([&] { run_precise(m, p.tol, true, all, isa); }, all.size());
    std::printf("  %s %.2f-%.2f us", names[static_cast<int>(isa)], t[0] * 1e6, t[1] * 1e6);
  }
  std::printf("\n");
  return 0;
}
