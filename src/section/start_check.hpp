// Constants that make the classic section loop fail at its very first steps, found before the
// run touches a file, so that the message names the constant and comes at once.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "dynamics/model.hpp"
#include "dynamics/run_config.hpp"

// "a = 1e-40, omega = 3": the constants of m that differ from the defaults; empty when none.
std::string changed_constants(const model_params& m);

// Why the classic method cannot run model `m` from the initial states `y0s`: an omega whose
// section period is too short for the smallest usable step, or constants that make phi change
// so fast at the start of a condition that the step size would collapse at once. Empty when
// neither. With the default constants it never objects: their runs go as they always went.
std::string classic_start_problem(const model_params& m, const run_config& config,
                                  const std::vector<std::array<double, 2>>& y0s);
