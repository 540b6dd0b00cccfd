// The command line: trivella [options] [DIR].
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dynamics/model.hpp"
#include "engine/engine.hpp"
#include "run/grid_cells.hpp"

struct run_options {
  std::string dir;  // working directory; empty: the current one
  bool quiet = false;
  int threads = 0;  // 0: every core
  run_method method = run_method::classic;
  bool chaos = false;
  int digits = default_digits;
  std::vector<std::pair<std::string, float>> params;  // --param overrides, in order
  // The map's skeleton (run/skeleton_options.hpp).
  int periodic = 0;  // --periodic Q: periodic orbits of period Q instead of section points
  bool rotation = false;
  // A stability map (run/grid_options.hpp).
  std::vector<grid_axis> grid;  // --grid, x then y
  bool resume = false;          // --resume: continue RESULT/grid.txt
};

enum class command_kind { run, help, version, usage_error };

struct command {
  command_kind kind = command_kind::run;
  run_options options;
  std::string error;  // for usage_error: what is wrong
};

// Parses argv. Opens no file and changes nothing.
command parse_command_line(int argc, const char* const* argv);

// The one-line synopsis, and the full help text for --help.
const char* usage_line();
std::string help_text();

// The model's constants with the --param overrides applied; L is left at 0.
model_params model_for(const run_options& options);
