// Run-wide values read from the header of ini.txt.
#pragma once

struct run_config {
  int n_conditions = 0;  // condition blocks to run
  int n_points = 0;      // section points per condition
  double tol = 0.0;      // error bound of a step, widened from single precision
  double eps = 0.0;      // bound on |section value| at a refined crossing, widened likewise
};
