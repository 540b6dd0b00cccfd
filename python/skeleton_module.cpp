// trivella._skeleton: periodic orbits and rotation numbers for the trivella package, with the
// GIL released while the orbits are integrated.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <future>
#include <limits>
#include <string>
#include <vector>

#include "engine/engine_services.hpp"
#include "engine_request.hpp"
#include "module_parts.hpp"

namespace py = pybind11;

namespace {

// keep_going is asked this often while the work runs.
constexpr auto poll_interval = std::chrono::milliseconds(50);

skeleton_settings settings_of(double tol, int direction, const std::atomic<bool>& cancel) {
  skeleton_settings s;
  s.tol = tol;
  s.direction = direction;
  s.cancel = &cancel;
  return s;
}

// Runs work() without the GIL on a thread of its own while this thread asks keep_going()
// (None: never) every poll_interval; a false answer, an exception from keep_going or Ctrl-C
// sets `cancel`, which the work's integration sees at its next step. The work is always
// joined before this returns; a Python error is raised again afterwards.
template <typename F>
void run_cancellable(const py::object& keep_going, std::atomic<bool>& cancel, F&& work) {
  std::future<void> done;
  {
    const py::gil_scoped_release nogil;
    done = std::async(std::launch::async, std::forward<F>(work));
  }
  const auto wait = [&done](std::chrono::milliseconds limit) {
    const py::gil_scoped_release nogil;
    return done.wait_for(limit) == std::future_status::ready;
  };
  while (!wait(poll_interval)) {
    if (cancel.load()) {
      continue;
    }
    try {
      if (PyErr_CheckSignals() != 0) {
        throw py::error_already_set();
      }
      if (!keep_going.is_none() && !py::bool_(keep_going())) {
        cancel.store(true);
      }
    } catch (py::error_already_set&) {
      cancel.store(true);
      {
        const py::gil_scoped_release nogil;
        done.wait();
      }
      throw;
    }
  }
  done.get();
}

// The orbit as a dict of the columns of RESULT/periodic.txt, with its points (phi, l / L).
// A search that keep_going stops ends not converged, its reason naming the stop.
py::dict periodic(double phi, double l, int q, double L, double tol, int direction,
                  const param_list& params, const py::object& keep_going) {
  const model_params m = model_of(params, L);
  std::atomic<bool> cancel{false};
  const skeleton_settings c = settings_of(tol, direction, cancel);
  periodic_orbit o;
  run_cancellable(keep_going, cancel, [&] { o = periodic_orbit_near(m, c, {phi, l}, q); });
  const orbit_stability& s = o.stability;
  py::dict d;
  d["converged"] = o.converged;
  d["reason"] = o.reason;
  d["q"] = o.q;
  d["phi"] = o.x[0];
  d["l"] = o.x[1];
  d["residual"] = o.residual;
  d["iterations"] = o.iterations;
  d["trace"] = s.trace;
  d["residue"] = s.residue;
  d["det"] = s.det;
  d["multipliers"] = py::make_tuple(py::make_tuple(s.mu[0][0], s.mu[0][1]),
                                    py::make_tuple(s.mu[1][0], s.mu[1][1]));
  d["kind"] = o.converged ? std::string(orbit_kind_name(s.kind)) : std::string("not-converged");
  float_array points({static_cast<py::ssize_t>(o.points.size()), py::ssize_t{2}});
  double* p = points.mutable_data();
  for (const auto& x : o.points) {
    *p++ = x[0];
    *p++ = x[1] / static_cast<double>(m.L);
  }
  d["points"] = points;
  return d;
}

// Rotation number, circulating (else librating) and digits of each condition; NaN where an
// orbit is too short, and for every condition not finished when keep_going stopped the run.
// `varying` gives constants of each condition's own.
py::tuple rotation(const float_array& phi0, const float_array& l0, long long n_points, double L,
                   double tol, int direction, const param_list& params,
                   const py::object& keep_going, const condition_param_list& varying) {
  const model_params m = model_of(params, L);
  const auto n = phi0.size();
  check_varying(varying, n);
  const std::vector<double> phi(phi0.data(), phi0.data() + n);
  const std::vector<double> l(l0.data(), l0.data() + n);
  std::vector<model_params> models;
  for (py::ssize_t i = 0; i < n; ++i) {
    models.push_back(condition_model(m, varying, i));
  }
  std::vector<rotation_summary> summaries(static_cast<std::size_t>(n));
  std::atomic<bool> cancel{false};
  const skeleton_settings c = settings_of(tol, direction, cancel);
  run_cancellable(keep_going, cancel, [&] {
    for (std::size_t i = 0; i < summaries.size() && !cancel.load(); ++i) {
      summaries[i] = rotation_from(models[i], c, {phi[i], l[i]}, n_points);
      // A cancelled orbit stops short: its average is of the wrong points.
      summaries[i].computed = summaries[i].computed && !cancel.load();
    }
  });
  float_array number(n);
  float_array digits(n);
  py::array_t<bool> circulating(n);
  for (py::ssize_t i = 0; i < n; ++i) {
    const rotation_summary& r = summaries[static_cast<std::size_t>(i)];
    number.mutable_at(i) = r.computed ? r.rotation : std::numeric_limits<double>::quiet_NaN();
    digits.mutable_at(i) = r.computed ? r.digits : std::numeric_limits<double>::quiet_NaN();
    circulating.mutable_at(i) = r.computed && r.kind == rotation_kind::circulating;
  }
  return py::make_tuple(number, circulating, digits);
}

}  // namespace

void add_skeleton_functions(py::module_& m) {
  m.def("periodic_orbit", &periodic, py::arg("phi"), py::arg("l"), py::arg("q"), py::kw_only(),
        py::arg("L"), py::arg("tol"), py::arg("direction"), py::arg("params"),
        py::arg("keep_going") = py::none());
  m.def("rotation", &rotation, py::arg("phi0"), py::arg("l0"), py::arg("n_points"), py::kw_only(),
        py::arg("L"), py::arg("tol"), py::arg("direction"), py::arg("params"),
        py::arg("keep_going") = py::none(), py::arg("varying") = condition_param_list{});
  m.attr("max_period") = max_periodic_period;
}
