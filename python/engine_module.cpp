// trivella._engine, the compiled half of `import trivella`: its version, the model's constants
// and their validity as the program has them, ini.txt read by the program's own reader, and the
// engine's runs (map_module.cpp, stream_module.cpp).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <utility>
#include <vector>

#include "dynamics/model_rules.hpp"
#include "engine/engine_services.hpp"
#include "engine_request.hpp"
#include "module_parts.hpp"

#ifndef TRIVELLA_VERSION
#error "TRIVELLA_VERSION must be defined by the build (the contents of the file VERSION)"
#endif

namespace py = pybind11;

namespace {

// (name, default) of each constant a user may set, in the program's order.
std::vector<std::pair<std::string, double>> constants() {
  const model_params m = default_model();
  std::vector<std::pair<std::string, double>> out;
  for (const model_constant& c : model_constants) {
    out.emplace_back(c.name, static_cast<double>(m.*c.field));
  }
  return out;
}

// What makes the equations meaningless with these overrides (each rounded to single precision,
// as the model holds it), or "" when they are meaningful.
std::string problem(const param_list& params) { return model_problem(model_of(params, 0.0)); }

// What read_ini and parse_ini return: the conditions and settings, every number rounded to
// single precision as the program rounds it, and widened.
py::dict ini_dict(const ini_contents& ini) {
  std::vector<double> phi0;
  std::vector<double> l0;
  for (const condition_block& b : ini.blocks) {
    phi0.push_back(b.y[0]);
    l0.push_back(b.y[1]);
  }
  py::dict d;
  d["phi0"] = phi0;
  d["l0"] = l0;
  d["n_points"] = ini.config.n_points;
  d["L"] = static_cast<double>(ini.L);
  d["h0"] = ini.h0;
  d["tol"] = ini.config.tol;
  d["eps"] = ini.config.eps;
  d["warnings"] = ini.warnings;
  return d;
}

// ini.txt at `path` as the program reads it; ValueError with the program's one-line message
// when the program would refuse it.
py::dict read_ini_file(const std::string& path) {
  ini_contents ini;
  std::string error;
  if (!read_ini_path(path, ini, error)) {
    throw py::value_error(error);
  }
  return ini_dict(ini);
}

// The same for the text of an ini.txt.
py::dict parse_ini_text(const std::string& text) {
  ini_contents ini;
  std::string error;
  if (!read_ini_string(text, ini, error)) {
    throw py::value_error(error);
  }
  return ini_dict(ini);
}

}  // namespace

PYBIND11_MODULE(_engine, m) {
  m.doc() = "The trivella engine; use the functions of the trivella package.";
  m.attr("__version__") = TRIVELLA_VERSION;
  m.def("model_constants", &constants, "(name, default) of the model's constants, in order.");
  m.def("model_problem", &problem, py::arg("params"),
        "What makes the equations meaningless with these overrides, or ''.");
  m.def("read_ini", &read_ini_file, py::arg("path"), "ini.txt as the program reads it.");
  m.def("parse_ini", &parse_ini_text, py::arg("text"), "The text of an ini.txt, read likewise.");
  m.def("thread_count", &thread_count, py::arg("threads") = 0,
        "Conditions computed at once for `threads`; 0: the CPUs this process may run on.");
  add_map_functions(m);
  add_stream_functions(m);
  add_skeleton_functions(m);
}
