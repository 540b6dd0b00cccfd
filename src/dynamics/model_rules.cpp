// The model's constants by name, their defaults and their validity.
#include "dynamics/model_rules.hpp"

const std::array<model_constant, 6> model_constants = {{
    {"a", &model_params::p_a},
    {"b", &model_params::p_b},
    {"c", &model_params::p_c},
    {"d", &model_params::p_d},
    {"e", &model_params::p_e},
    {"omega", &model_params::omega},
}};

model_params default_model() {
  model_params m;
  m.p_a = 6.0f;
  m.p_b = 5.0f;
  m.p_c = 8.0f;
  m.p_d = 15.0f;
  m.p_e = 0.4f;
  m.omega = 1.0f;
  return m;
}

std::string model_constant_names() {
  std::string names;
  for (const model_constant& c : model_constants) {
    if (!names.empty()) {
      names += ", ";
    }
    names += c.name;
  }
  return names;
}

bool set_model_constant(model_params& m, std::string_view name, float value) {
  for (const model_constant& c : model_constants) {
    if (name == c.name) {
      m.*c.field = value;
      return true;
    }
  }
  return false;
}

std::string model_problem(const model_params& m) {
  // The right-hand side divides by a, omega, b + c and b + d.
  const double b = static_cast<double>(m.p_b);
  if (m.p_a == 0.0f) {
    return "a = 0";
  }
  if (m.omega == 0.0f) {
    return "omega = 0";
  }
  if (b + static_cast<double>(m.p_c) == 0.0) {
    return "b + c = 0";
  }
  if (b + static_cast<double>(m.p_d) == 0.0) {
    return "b + d = 0";
  }
  return "";
}
