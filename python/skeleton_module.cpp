// trivella._skeleton: periodic orbits and rotation numbers for the trivella package, with the
// GIL released while the orbits are integrated.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <limits>
#include <string>

#include "engine/engine_services.hpp"
#include "engine_request.hpp"
#include "module_parts.hpp"

namespace py = pybind11;

namespace {

skeleton_settings settings_of(double tol, int direction) {
  skeleton_settings s;
  s.tol = tol;
  s.direction = direction;
  return s;
}

// The orbit as a dict of the columns of RESULT/periodic.txt, with its points (phi, l / L).
py::dict periodic(double phi, double l, int q, double L, double tol, int direction,
                  const param_list& params) {
  const model_params m = model_of(params, L);
  periodic_orbit o;
  {
    const py::gil_scoped_release nogil;
    o = periodic_orbit_near(m, settings_of(tol, direction), {phi, l}, q);
  }
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
// orbit is too short. `varying` gives constants of each condition's own.
py::tuple rotation(const float_array& phi0, const float_array& l0, long long n_points, double L,
                   double tol, int direction, const param_list& params,
                   const condition_param_list& varying) {
  const model_params m = model_of(params, L);
  const auto n = phi0.size();
  check_varying(varying, n);
  float_array number(n);
  float_array digits(n);
  py::array_t<bool> circulating(n);
  for (py::ssize_t i = 0; i < n; ++i) {
    rotation_summary r;
    {
      const py::gil_scoped_release nogil;
      r = rotation_from(condition_model(m, varying, i), settings_of(tol, direction),
                        {phi0.at(i), l0.at(i)}, n_points);
    }
    if (PyErr_CheckSignals() != 0) {
      throw py::error_already_set();
    }
    number.mutable_at(i) = r.computed ? r.rotation : std::numeric_limits<double>::quiet_NaN();
    digits.mutable_at(i) = r.computed ? r.digits : std::numeric_limits<double>::quiet_NaN();
    circulating.mutable_at(i) = r.computed && r.kind == rotation_kind::circulating;
  }
  return py::make_tuple(number, circulating, digits);
}

}  // namespace

void add_skeleton_functions(py::module_& m) {
  m.def("periodic_orbit", &periodic, py::arg("phi"), py::arg("l"), py::arg("q"), py::kw_only(),
        py::arg("L"), py::arg("tol"), py::arg("direction"), py::arg("params"));
  m.def("rotation", &rotation, py::arg("phi0"), py::arg("l0"), py::arg("n_points"), py::kw_only(),
        py::arg("L"), py::arg("tol"), py::arg("direction"), py::arg("params"),
        py::arg("varying") = condition_param_list{});
}
