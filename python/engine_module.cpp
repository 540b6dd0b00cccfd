// The compiled half of `import trivella`: the engine's run with NumPy arrays in and out, the GIL
// released while it computes, and the first accepted step that confirms a chunk of a sweep.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "dynamics/model_rules.hpp"
#include "engine/engine.hpp"
#include "engine_request.hpp"
#include "section/speculative_run.hpp"

namespace py = pybind11;

namespace {

// Signals and the progress callback are looked at no more often than this.
constexpr auto check_interval = std::chrono::milliseconds(50);

py::dict default_params() {
  const model_params m = default_model();
  py::dict d;
  d["a"] = m.p_a;
  d["b"] = m.p_b;
  d["c"] = m.p_c;
  d["d"] = m.p_d;
  d["e"] = m.p_e;
  d["omega"] = m.omega;
  return d;
}

// What the engine's events write to, all owned by the caller's frame; the events run on the
// calling thread, without the GIL except inside `poll`.
struct map_sink {
  double* points = nullptr;  // conditions x n_points x 2
  double* chaos = nullptr;   // conditions x 2: megno, lyapunov
  bool* chaotic = nullptr;   // conditions
  std::size_t n_points = 0;
  std::size_t filled = 0;  // points of the condition in turn
  long long done = 0;
  long long total = 0;
  py::object progress;  // progress(done, total) or None
  bool python_error = false;
  std::chrono::steady_clock::time_point last_check{};
};

// With the GIL: runs pending signal handlers (Ctrl-C raises KeyboardInterrupt there) and the
// progress callback. False, with the Python error set, when either raised.
bool check_python(map_sink& s) {
  const auto now = std::chrono::steady_clock::now();
  if (now - s.last_check < check_interval) {
    return true;
  }
  s.last_check = now;
  const py::gil_scoped_acquire gil;
  if (PyErr_CheckSignals() != 0) {
    s.python_error = true;
    return false;
  }
  if (!s.progress.is_none()) {
    try {
      s.progress(s.done, s.total);
    } catch (py::error_already_set& e) {
      e.restore();
      s.python_error = true;
      return false;
    }
  }
  return true;
}

run_events events_for(map_sink& s) {
  run_events e;
  e.begin = [&s](int) {
    s.filled = 0;
    return true;
  };
  e.points = [&s](int condition, std::span<const section_point> points) {
    double* row = s.points + static_cast<std::size_t>(condition - 1) * s.n_points * 2;
    for (const section_point& p : points) {
      if (s.filled == s.n_points) {
        break;
      }
      row[2 * s.filled] = p[0];
      row[2 * s.filled + 1] = p[1];
      ++s.filled;
    }
    s.done += static_cast<long long>(points.size());
    return check_python(s);
  };
  e.end = [&s](int condition, const chaos_summary& c) {
    const auto i = static_cast<std::size_t>(condition - 1);
    s.chaos[2 * i] = c.megno;
    s.chaos[2 * i + 1] = c.lyapunov;
    s.chaotic[i] = c.chaotic;
    return true;
  };
  e.poll = [&s] { return check_python(s); };
  return e;
}

// Runs the conditions (phi0[i], l0[i]) through the engine. Returns (points, chaos, chaotic,
// end_h, failure, failed_condition): points NaN where none was computed, failure empty after
// a complete run. Every number arrives already rounded as the caller wants it.
py::tuple run_map(const float_array& phi0, const float_array& l0, int n_points, double L, double h0,
                  double tol, double eps, const std::string& method, bool chaos,
                  const param_list& params, int threads, py::object progress) {
  const run_request r =
      request_of(phi0, l0, n_points, L, h0, tol, eps, method, chaos, params, threads);
  const auto n = static_cast<py::ssize_t>(r.y0.size());
  const py::ssize_t per = n_points > 0 ? n_points : 0;
  float_array points({n, per, py::ssize_t{2}});
  float_array summary({n, py::ssize_t{2}});
  py::array_t<bool> chaotic(n);
  std::fill_n(points.mutable_data(), points.size(), std::numeric_limits<double>::quiet_NaN());
  std::fill_n(summary.mutable_data(), summary.size(), std::numeric_limits<double>::quiet_NaN());
  std::fill_n(chaotic.mutable_data(), chaotic.size(), false);

  map_sink s;
  s.points = points.mutable_data();
  s.chaos = summary.mutable_data();
  s.chaotic = chaotic.mutable_data();
  s.n_points = static_cast<std::size_t>(per);
  s.total = static_cast<long long>(n) * per;
  s.progress = std::move(progress);
  run_outcome outcome;
  {
    const py::gil_scoped_release nogil;
    outcome = run_engine(r, events_for(s));
  }
  if (s.python_error) {
    throw py::error_already_set();
  }
  if (!s.progress.is_none() && outcome.end == run_end::complete) {
    s.progress(s.done, s.total);
  }
  return py::make_tuple(points, summary, chaotic, outcome.end_h, outcome.message,
                        outcome.end == run_end::complete ? 0 : outcome.condition);
}

// The step size of the first accepted step of condition (phi0, l0) from h, or None.
py::object first_step(double phi0, double l0, double h, double L, double tol, double eps,
                      const param_list& params) {
  run_config config;
  config.tol = tol;
  config.eps = eps;
  double first_h = 0.0;
  if (!first_accepted_step(model_of(params, L), config, {phi0, l0}, h, first_h)) {
    return py::none();
  }
  return py::float_(first_h);
}

}  // namespace

PYBIND11_MODULE(_engine, m) {
  m.doc() = "The trivella engine; use the functions of the trivella package.";
  m.def("default_params", &default_params, "The model's constants a, b, c, d, e, omega.");
  m.def("run_map", &run_map, py::arg("phi0"), py::arg("l0"), py::arg("n_points"), py::kw_only(),
        py::arg("L"), py::arg("h0"), py::arg("tol"), py::arg("eps"), py::arg("method"),
        py::arg("chaos"), py::arg("params"), py::arg("threads"), py::arg("progress"));
  m.def("thread_count", &thread_count, py::arg("threads") = 0,
        "Conditions computed at once for `threads`; 0: the CPUs this process may run on.");
  m.def("first_accepted_step", &first_step, py::arg("phi0"), py::arg("l0"), py::arg("h"),
        py::kw_only(), py::arg("L"), py::arg("tol"), py::arg("eps"), py::arg("params"));
}
