// run_map: a sweep through the engine into NumPy arrays, the GIL released while it computes and
// Ctrl-C seen within a fraction of a second; first_accepted_step, which confirms a chunk of a
// Dask sweep.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "engine/engine.hpp"
#include "engine/engine_services.hpp"
#include "engine_request.hpp"
#include "module_parts.hpp"

namespace py = pybind11;

namespace {

// Signals and the progress callback are looked at no more often than this.
constexpr auto check_interval = std::chrono::milliseconds(50);

// Values set to NaN between two looks at the signals: a few milliseconds of memory traffic.
constexpr std::size_t fill_block = std::size_t{1} << 20;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The verdict codes of run_map, in the order of chaos_verdict; the package names them.
std::int8_t verdict_code(const chaos_summary& c) { return static_cast<std::int8_t>(verdict_of(c)); }
// The code after them: a condition that failed in a run that went on past it.
constexpr auto failed_code = static_cast<std::int8_t>(static_cast<int>(chaos_verdict::chaotic) + 1);

// What the engine's events write to, all owned by run_map's frame; the events run on the
// calling thread, without the GIL except inside `check_python`.
struct map_sink {
  double* points = nullptr;  // conditions x n_points x 2; n_points is 0 when none are kept
  double* megno = nullptr;   // per condition, the next three too
  double* lyapunov = nullptr;
  std::int64_t* periods = nullptr;
  std::int8_t* verdict = nullptr;
  double* rotation = nullptr;  // per condition, with run_request::rotation, the next two too
  bool* circulating = nullptr;
  double* digits = nullptr;
  std::size_t n_points = 0;
  int condition = 0;        // the condition whose points arrive (from 1), 0 before the first
  std::size_t filled = 0;   // its points so far, as kept
  long long delivered = 0;  // its points so far
  long long done = 0;
  long long total = 0;
  py::object progress;  // progress(done, total) or None
  bool python_error = false;
  std::chrono::steady_clock::time_point last_check{};
};

// With the GIL: runs pending signal handlers (Ctrl-C raises KeyboardInterrupt there) and, if
// `report`, the progress callback. False, with the Python error set, when either raised.
bool check_python(map_sink& s, bool report) {
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
  if (report && !s.progress.is_none()) {
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
  e.begin = [&s](int condition) {
    s.condition = condition;
    s.filled = 0;
    s.delivered = 0;
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
    s.delivered += static_cast<long long>(points.size());
    return check_python(s, true);
  };
  e.rotation = [&s](int condition, const rotation_summary& r) {
    const auto i = static_cast<std::size_t>(condition - 1);
    s.rotation[i] = r.computed ? r.rotation : nan;
    s.circulating[i] = r.computed && r.kind == rotation_kind::circulating;
    s.digits[i] = r.computed ? r.digits : nan;
    return true;
  };
  e.end = [&s](int condition, const chaos_summary& c) {
    const auto i = static_cast<std::size_t>(condition - 1);
    // Fewer than two points make no period: nothing was measured.
    s.megno[i] = c.computed ? c.megno : nan;
    s.lyapunov[i] = c.computed ? c.lyapunov : nan;
    s.periods[i] = c.computed ? c.periods : 0;
    s.verdict[i] = verdict_code(c);
    return true;
  };
  e.poll = [&s] { return check_python(s, true); };
  return e;
}

// With go_on: a failed condition is marked, its points NaN, and counted whole in the progress,
// and the run goes on with the next.
void go_on_past_failures(run_events& e, map_sink& s, long long n_points) {
  e.failed = [&s, n_points](int condition, const std::string& /*why*/) {
    const auto i = static_cast<std::size_t>(condition - 1);
    double* row = s.points + i * s.n_points * 2;
    std::fill(row + s.filled * 2, row + s.n_points * 2, nan);
    s.verdict[i] = failed_code;
    s.done += n_points - s.delivered;
    return check_python(s, true);
  };
}

// Sets [first, last) to NaN a block at a time, looking at the signals between blocks. Without
// the GIL; false, with the Python error set, on Ctrl-C.
bool fill_nan(map_sink& s, double* first, double* last) {
  while (first != last) {
    const std::size_t n = std::min(fill_block, static_cast<std::size_t>(last - first));
    std::fill_n(first, n, nan);
    first += n;
    if (!check_python(s, false)) {
      return false;
    }
  }
  return true;
}

// Runs the conditions (phi0[i], l0[i]) through the engine, each with the constants of `varying`
// as its own. Returns (points, megno, lyapunov, periods, verdict, end_h, failure,
// failed_condition, rotation): the points NaN where none was computed (none at all kept
// without keep_points), failure empty and failed_condition 0 after a complete run; rotation,
// with `rotation`, the (number, circulating, digits) arrays the lanes measured (NaN, false,
// NaN where none was), else None. With go_on (the precise method) a failed condition has the
// verdict code failed_verdict and the run goes on.
py::tuple run_map(const float_array& phi0, const float_array& l0, int n_points, double L, double h0,
                  double tol, double eps, const std::string& method, bool chaos,
                  const param_list& params, int threads, py::object progress,
                  const condition_param_list& varying, bool keep_points, bool rotation,
                  bool go_on) {
  run_request r = request_of(phi0, l0, n_points, L, h0, tol, eps, method, chaos, params, threads);
  add_condition_models(r, varying);
  r.rotation = rotation;
  const auto n = static_cast<py::ssize_t>(r.y0.size());
  const py::ssize_t per = n_points > 0 && keep_points ? n_points : 0;
  // Left uninitialised: a complete run writes every point, and only what a failure leaves
  // unwritten is filled, without the GIL, so a huge result costs no pass while Ctrl-C waits.
  float_array points({n, per, py::ssize_t{2}});
  float_array megno(n);
  float_array lyapunov(n);
  py::array_t<std::int64_t> periods(n);
  py::array_t<std::int8_t> verdict(n);
  std::fill_n(megno.mutable_data(), n, nan);
  std::fill_n(lyapunov.mutable_data(), n, nan);
  std::fill_n(periods.mutable_data(), n, 0);
  std::fill_n(verdict.mutable_data(), n, static_cast<std::int8_t>(chaos_verdict::undecided));
  const py::ssize_t rotations = rotation ? n : 0;
  float_array number(rotations);
  py::array_t<bool> circulating(rotations);
  float_array digits(rotations);
  std::fill_n(number.mutable_data(), rotations, nan);
  std::fill_n(circulating.mutable_data(), rotations, false);
  std::fill_n(digits.mutable_data(), rotations, nan);

  map_sink s;
  s.points = points.mutable_data();
  s.megno = megno.mutable_data();
  s.lyapunov = lyapunov.mutable_data();
  s.periods = periods.mutable_data();
  s.verdict = verdict.mutable_data();
  s.rotation = number.mutable_data();
  s.circulating = circulating.mutable_data();
  s.digits = digits.mutable_data();
  s.n_points = static_cast<std::size_t>(per);
  s.total = static_cast<long long>(n) * std::max(n_points, 0);
  s.progress = std::move(progress);
  run_outcome outcome;
  {
    const py::gil_scoped_release nogil;
    run_events events = events_for(s);
    if (go_on) {
      go_on_past_failures(events, s, n_points);
    }
    outcome = run_engine(r, events);
    if (!s.python_error && outcome.end != run_end::complete) {
      const std::size_t row = s.condition > 0 ? static_cast<std::size_t>(s.condition - 1) : 0;
      double* written = s.points + (row * s.n_points + s.filled) * 2;
      fill_nan(s, written, s.points + points.size());
    }
  }
  if (s.python_error) {
    throw py::error_already_set();
  }
  if (!s.progress.is_none() && outcome.end == run_end::complete) {
    s.progress(s.done, s.total);
  }
  return py::make_tuple(
      points, megno, lyapunov, periods, verdict, outcome.end_h, outcome.message,
      outcome.end == run_end::complete ? 0 : outcome.condition,
      rotation ? py::object(py::make_tuple(number, circulating, digits)) : py::object(py::none()));
}

// The step size of the first accepted step of condition (phi0, l0) from h, or None.
py::object first_step(double phi0, double l0, double h, double L, double tol, double eps,
                      const param_list& params) {
  run_config config;
  config.tol = tol;
  config.eps = eps;
  double first_h = 0.0;
  if (!classic_first_step(model_of(params, L), config, {phi0, l0}, h, first_h)) {
    return py::none();
  }
  return py::float_(first_h);
}

}  // namespace

void add_map_functions(py::module_& m) {
  const verdict_rule rule = chaos_verdict_rule();
  m.attr("periods_for_verdict") = rule.min_periods;
  m.attr("chaos_threshold") = rule.threshold;
  m.def("run_map", &run_map, py::arg("phi0"), py::arg("l0"), py::arg("n_points"), py::kw_only(),
        py::arg("L"), py::arg("h0"), py::arg("tol"), py::arg("eps"), py::arg("method"),
        py::arg("chaos"), py::arg("params"), py::arg("threads"), py::arg("progress"),
        py::arg("varying") = condition_param_list{}, py::arg("keep_points") = true,
        py::arg("rotation") = false, py::arg("go_on") = false);
  m.attr("failed_verdict") = failed_code;
  m.def("first_accepted_step", &first_step, py::arg("phi0"), py::arg("l0"), py::arg("h"),
        py::kw_only(), py::arg("L"), py::arg("tol"), py::arg("eps"), py::arg("params"));
}
