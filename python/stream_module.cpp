// stream_map: the engine's points handed to Python callbacks as they are confirmed, in batches a
// few times a second, for the explorer's server to stream to its page.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cstddef>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "dynamics/model_rules.hpp"
#include "engine/engine.hpp"
#include "engine/engine_services.hpp"
#include "engine_request.hpp"
#include "module_parts.hpp"

namespace py = pybind11;

namespace {

// Batches are handed over, and keep_going asked, no more often than this.
constexpr auto batch_interval = std::chrono::milliseconds(50);

// The Python side of a run; the engine's events run on the calling thread without the GIL.
struct stream_sink {
  py::object on_points;   // on_points(condition, points of shape (n, 2))
  py::object on_end;      // on_end(condition, megno, lyapunov, chaotic), or None
  py::object keep_going;  // keep_going() -> bool, or None
  int condition = 0;      // the condition of the points in `batch`
  std::vector<section_point> batch;
  bool python_error = false;
  std::chrono::steady_clock::time_point last{};
};

// With the GIL: calls f; false, with the Python error kept, when it raised.
template <typename F>
bool with_python(stream_sink& s, F&& f) {
  const py::gil_scoped_acquire gil;
  try {
    if (PyErr_CheckSignals() != 0) {
      throw py::error_already_set();
    }
    return f();
  } catch (py::error_already_set& e) {
    e.restore();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  s.python_error = true;
  return false;
}

bool flush(stream_sink& s) {
  if (s.batch.empty()) {
    return true;
  }
  s.last = std::chrono::steady_clock::now();
  return with_python(s, [&s] {
    const auto n = static_cast<py::ssize_t>(s.batch.size());
    float_array points({n, py::ssize_t{2}});
    double* out = points.mutable_data();
    for (const section_point& p : s.batch) {
      *out++ = p[0];
      *out++ = p[1];
    }
    s.batch.clear();
    s.on_points(s.condition, points);
    return true;
  });
}

// Hands over the batch when it is due, then asks keep_going.
bool due(stream_sink& s) {
  if (std::chrono::steady_clock::now() - s.last < batch_interval) {
    return true;
  }
  if (!flush(s)) {
    return false;
  }
  s.last = std::chrono::steady_clock::now();
  return s.keep_going.is_none() ||
         with_python(s, [&s] { return static_cast<bool>(py::bool_(s.keep_going())); });
}

run_events events_for(stream_sink& s) {
  run_events e;
  e.points = [&s](int condition, std::span<const section_point> points) {
    if (condition != s.condition && !flush(s)) {
      return false;
    }
    s.condition = condition;
    s.batch.insert(s.batch.end(), points.begin(), points.end());
    return due(s);
  };
  e.end = [&s](int condition, const chaos_summary& c) {
    if (!flush(s)) {
      return false;
    }
    return s.on_end.is_none() || with_python(s, [&] {
             s.on_end(condition, c.megno, c.lyapunov, c.chaotic);
             return true;
           });
  };
  e.poll = [&s] { return due(s); };
  return e;
}

const char* end_name(run_end end) {
  switch (end) {
    case run_end::complete:
      return "complete";
    case run_end::failed:
      return "failed";
    case run_end::stopped:
      break;
  }
  return "stopped";
}

// Runs the conditions (phi0[i], l0[i]) and streams their points. Every number arrives checked
// and rounded as the caller wants it; h0 is the first condition's step size as it is. Returns
// (end, condition, message, end_h, points): how the run ended, the condition in turn when it
// did not complete, why it failed, the step size it left, and the points delivered.
py::tuple stream_map(const float_array& phi0, const float_array& l0, int n_points, double L,
                     double h0, double tol, double eps, const std::string& method, bool chaos,
                     const param_list& params, int threads, py::object on_points, py::object on_end,
                     py::object keep_going) {
  const run_request r =
      request_of(phi0, l0, n_points, L, h0, tol, eps, method, chaos, params, threads);
  stream_sink s;
  s.on_points = std::move(on_points);
  s.on_end = std::move(on_end);
  s.keep_going = std::move(keep_going);
  s.last = std::chrono::steady_clock::now();
  run_outcome outcome;
  {
    const py::gil_scoped_release nogil;
    outcome = run_engine(r, events_for(s));
    // The points of a condition that failed are delivered too.
    if (!s.python_error) {
      flush(s);
    }
  }
  if (s.python_error) {
    throw py::error_already_set();
  }
  return py::make_tuple(end_name(outcome.end),
                        outcome.end == run_end::complete ? 0 : outcome.condition, outcome.message,
                        outcome.end_h, outcome.points);
}

// The model's constants as the explorer's page shows them: their names in order, their
// defaults, and the MEGNO value above which an orbit is called chaotic.
py::dict model_info() {
  const model_params m = default_model();
  py::list names;
  py::dict defaults;
  for (const model_constant& c : model_constants) {
    names.append(c.name);
    defaults[c.name] = static_cast<double>(m.*c.field);
  }
  py::dict info;
  info["names"] = names;
  info["defaults"] = defaults;
  info["megno_threshold"] = chaos_verdict_rule().threshold;
  return info;
}

}  // namespace

void add_stream_functions(py::module_& m) {
  m.def("stream_map", &stream_map, py::arg("phi0"), py::arg("l0"), py::arg("n_points"),
        py::kw_only(), py::arg("L"), py::arg("h0"), py::arg("tol"), py::arg("eps"),
        py::arg("method"), py::arg("chaos"), py::arg("params"), py::arg("threads"),
        py::arg("on_points"), py::arg("on_end"), py::arg("keep_going"));
  m.def("model_info", &model_info);
}
