// The one record of integration state shared by the driver, the section loop and the step.
#pragma once

#include <array>

struct integration_state {
  double t = 0.0;                 // current time
  std::array<double, 2> y{};      // state at t: phi, l
  double h = 0.0;                 // current step size
  double t_new = 0.0;             // time at the end of the latest trial step
  std::array<double, 2> y_new{};  // state at t_new
  int count = 0;                  // section points counted for the current condition
};
