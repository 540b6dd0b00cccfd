// Messages for a condition that stopped early, with the cause named from the run's settings
// where the section loop alone cannot tell it.
#pragma once

#include <array>
#include <string>

#include "dynamics/model.hpp"
#include "dynamics/run_config.hpp"
#include "section/section_outcome.hpp"

// describe() of the outcome; for a collapsed step size, followed by its cause: tol far too
// large (steps it let through threw the state away), l or L too large, or tol too small.
// `y0` is the condition's initial state, `y_stop` the state where the loop stopped.
std::string describe_stop(const section_outcome& outcome, const model_params& m,
                          const run_config& config, const std::array<double, 2>& y0,
                          const std::array<double, 2>& y_stop);
