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
// Constants that vary from one condition to the next: (name, one value per condition).
using condition_param_list = std::vector<std::pair<std::string, float_array>>;

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

// The model of condition i: `m` with the i-th value of each constant of `varying`, rounded to
// single precision like every constant.
inline model_params condition_model(model_params m, const condition_param_list& varying,
                                    pybind11::ssize_t i) {
  for (const auto& [name, values] : varying) {
    set_model_constant(m, name, static_cast<float>(values.at(i)));
  }
  return m;
}

// Checks that `varying` names constants and holds one value for each of n conditions.
inline void check_varying(const condition_param_list& varying, pybind11::ssize_t n) {
  model_params m = default_model();
  for (const auto& [name, values] : varying) {
    if (!set_model_constant(m, name, 0.0f)) {
      throw pybind11::value_error("unknown model constant " + name);
    }
    if (values.ndim() != 1 || values.size() != n) {
      throw pybind11::value_error("the values of " + name + " must be one per condition");
    }
  }
}

// Gives each condition of r its own model where `varying` is not empty (precise method only).
inline void add_condition_models(run_request& r, const condition_param_list& varying) {
  const auto n = static_cast<pybind11::ssize_t>(r.y0.size());
  check_varying(varying, n);
  if (varying.empty()) {
    return;
  }
  if (r.method != run_method::precise) {
    throw pybind11::value_error("constants per condition need the precise method");
  }
  r.condition_m.reserve(r.y0.size());
  for (pybind11::ssize_t i = 0; i < n; ++i) {
    r.condition_m.push_back(condition_model(r.m, varying, i));
  }
}
