// A plain, literal transcription of the trial step and the section loop, kept apart from the
// program's code so that every speed or safety change can be checked against it bit for bit.
#pragma once

#include <string>

namespace oracle {

struct state {
  double t = 0.0;
  double y[2] = {0.0, 0.0};
  double h = 0.0;
  double t_new = 0.0;
  double y_new[2] = {0.0, 0.0};
  int count = 0;
};

// L is the single-precision reference value; the other constants are the model's own.
double rhs(float L, int component, double t, const double* y);
double rk4_step(float L, state& s);

// Runs one condition from (t, y, h, count) as set by the caller and returns the point lines,
// "%15.10f %15.10f", or with `digits` decimals as the program's --digits asks: the default
// format hides differences below 5e-11 that 17 decimals show.
std::string section_map(float L, double tol, double eps, int n_points, state& s, int digits = 10);

// Runs conditions one after another as the driver does: h carries over, t and count reset.
// initial holds phi0, l0 pairs. Returns the whole point file.
std::string run(float L, double h0, double tol, double eps, int n_points, const double* initial,
                int n_conditions, int digits = 10);

}  // namespace oracle
