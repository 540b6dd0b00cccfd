// The model's constants by name: the names the command line, the module and the explorer
// accept, their defaults, and which values make the equations meaningless. The one place for
// these rules; the module hands them to Python and the explorer's server to its page.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "dynamics/model.hpp"

// One constant a user may set, and the field it names.
struct model_constant {
  const char* name;
  float model_params::*field;
};

// a, b, c, d, e and omega, in that order.
extern const std::array<model_constant, 6> model_constants;

// The model with its default constants, a = 6, b = 5, c = 8, d = 15, e = 0.4, omega = 1, and
// L = 0 (L comes from ini.txt).
model_params default_model();

// "a, b, c, d, e, omega": the names, for messages.
std::string model_constant_names();

// Sets the constant called `name` to `value`; false, changing nothing, for an unknown name.
bool set_model_constant(model_params& m, std::string_view name, float value);

// Empty when the equations are meaningful for m's constants; otherwise what makes them
// meaningless ("a = 0", "omega = 0", "b + c = 0" or "b + d = 0": the equations divide by it).
std::string model_problem(const model_params& m);
