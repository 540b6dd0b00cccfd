// What every function of the module builds from its Python arguments: the model and the engine
// request. The trivella package checks the arguments first; here they are only converted.
#pragma once

#include <pybind11/numpy.h>

#include <string>
#include <utility>
#include <vector>

#include "dynamics/model_rules.hpp"
#include "engine/engine.hpp"

using float_array =
    pybind11::array_t<double, pybind11::array::c_style | pybind11::array::forcecast>;
using param_list = std::vector<std::pair<std::string, double>>;

// The model's constants with the overrides of `params`, and L. The model holds them in single
// precision, as the program does: each double is rounded to the nearest float here.
inline model_params model_of(const param_list& params, double L) {
  model_params m = default_model();
  for (const auto& [name, value] : params) {
    if (!set_model_constant(m, name, static_cast<float>(value))) {
      throw pybind11::value_error("unknown model constant " + name);
    }
  }
  m.L = static_cast<float>(L);
  return m;
}

// The conditions (phi0[i], l0[i]) with the run's settings. phi0, l0, h0, tol and eps are used
// as the doubles they are: nothing is rounded.
inline run_request request_of(const float_array& phi0, const float_array& l0, int n_points,
                              double L, double h0, double tol, double eps,
                              const std::string& method, bool chaos, const param_list& params,
                              int threads) {
  if (phi0.ndim() != 1 || l0.ndim() != 1 || phi0.size() != l0.size()) {
    throw pybind11::value_error("phi0 and l0 must be one-dimensional and of equal length");
  }
  run_request r;
  r.m = model_of(params, L);
  r.config.n_conditions = static_cast<int>(phi0.size());
  r.config.n_points = n_points;
  r.config.tol = tol;
  r.config.eps = eps;
  r.h0 = h0;
  r.method = method == "precise" ? run_method::precise : run_method::classic;
  r.chaos = chaos;
  r.threads = threads;
  r.y0.reserve(static_cast<std::size_t>(phi0.size()));
  for (pybind11::ssize_t i = 0; i < phi0.size(); ++i) {
    r.y0.push_back({phi0.at(i), l0.at(i)});
  }
  return r;
}
