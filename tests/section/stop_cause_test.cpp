// The cause named for a collapsed step size, and the start check that names a constant.
#include "section/stop_cause.hpp"

#include <gtest/gtest.h>

#include "dynamics/model_rules.hpp"
#include "section/start_check.hpp"

namespace {

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// catches: a collapse caused by a constant the user set blamed on tol alone
TEST(StopCause, CollapseOnATameStateNamesChangedConstants) {
  model_params m = default_model();
  m.L = 1.0f;
  run_config config;
  config.tol = 1e-40;
  config.eps = 1e-6;
  section_outcome outcome;
  outcome.stop = section_stop::step_collapsed;
  outcome.h = 1e-11;
  const std::array<double, 2> y{0.1, 0.5};
  EXPECT_TRUE(has(describe_stop(outcome, m, config, y, y), "tol = 1e-40 is too small"));
  set_model_constant(m, "a", 1e-3f);
  const std::string message = describe_stop(outcome, m, config, y, y);
  EXPECT_TRUE(has(message, "the constants a = 0.001")) << message;
  EXPECT_FALSE(has(message, "rounding errors alone")) << message;
}

// catches: the start check objecting to a run of the default model, which must go as always
TEST(StartCheck, ObjectsOnlyToChangedConstantsFarBeyondTheLimit) {
  model_params m = default_model();
  m.L = 1.0f;
  run_config config;
  config.tol = 1e-12;
  const std::vector<std::array<double, 2>> y0s{{0.0, 1e6}, {1.0, -3e5}};
  EXPECT_EQ(classic_start_problem(m, config, y0s), "");  // defaults: the loop's guards decide
  set_model_constant(m, "omega", 2.0f);
  EXPECT_EQ(classic_start_problem(m, config, {{0.1, 0.5}}), "");
  set_model_constant(m, "omega", 1e10f);
  EXPECT_TRUE(has(classic_start_problem(m, config, {{0.1, 0.5}}), "omega = 1e+10"));
}

}  // namespace
