// RESULT/grid.txt: its header, one line per cell written whole, and the continuation of an
// interrupted file.
#pragma once

#include <string>

#include "chaos/chaos_summary.hpp"
#include "dynamics/run_config.hpp"
#include "run/grid_cells.hpp"
#include "skeleton/rotation_number.hpp"

constexpr const char* grid_path = "./RESULT/grid.txt";

// What a cell's run gave: the indicator, or `failed` when its integration stopped.
struct grid_result {
  bool failed = false;
  chaos_summary chaos;
  rotation_summary rotation;  // with --rotation
};

// The header lines, each ending in '\n': the axes, the seed (when an axis is a constant), the
// settings, the threshold and the column names (with rotation kind digits for --rotation).
std::string grid_header(const grid_plan& p, const run_config& config, double h0, bool rotation);

// One data line: x y megno lyapunov periods verdict [rotation kind digits], ending in '\n'.
std::string grid_line(const grid_cell& c, const grid_result& r, bool rotation);

struct grid_file {
  int fd = -1;
  long long cells_done = 0;  // complete cell lines in the file
  std::string error;         // the first write failure
};

// Opens RESULT/grid.txt and locks it against a second run. Anew: truncates it and writes
// `header`. With `resume`: the file must exist and start with exactly `header` and at most
// `cells` lines after it; a trailing partial line is dropped and cells_done counts the rest.
// False with `error` set, the file then left as it was.
bool open_grid_file(grid_file& f, const std::string& header, long long cells, bool resume,
                    const std::string& dir_name, std::string& error);

// Appends one whole line; false with f.error set.
bool write_grid_line(grid_file& f, const std::string& line);

// Closes the file; false with f.error set when the close failed.
bool close_grid_file(grid_file& f);
