// Parsing and checks of --grid and --resume.
#include "run/grid_options.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "dynamics/model_rules.hpp"
#include "run/command_line.hpp"
#include "run/grid_cells.hpp"

namespace {

bool known_name(const std::string& name) {
  model_params probe;
  return is_condition_axis(name) || set_model_constant(probe, name, 0.0f);
}

// A finite number rounded once to single precision, as ini.txt and --param round theirs.
bool parse_end(const std::string& text, float& value) {
  char* end = nullptr;
  value = std::strtof(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(value);
}

// NAME=FROM:TO:N; false with `error` set.
bool parse_axis(const std::string& text, grid_axis& axis, std::string& error) {
  const std::size_t eq = text.find('=');
  const std::size_t c1 = text.find(':', eq == std::string::npos ? 0 : eq + 1);
  const std::size_t c2 = c1 == std::string::npos ? c1 : text.find(':', c1 + 1);
  const std::string form = "--grid takes NAME=FROM:TO:N with NAME one of phi0, l0, " +
                           model_constant_names() + "; found \"" + text + "\"";
  if (eq == std::string::npos || c2 == std::string::npos ||
      text.find(':', c2 + 1) != std::string::npos) {
    error = form;
    return false;
  }
  axis.name = text.substr(0, eq);
  if (!known_name(axis.name)) {
    error = form;
    return false;
  }
  const std::string from = text.substr(eq + 1, c1 - eq - 1);
  const std::string to = text.substr(c1 + 1, c2 - c1 - 1);
  const std::string n = text.substr(c2 + 1);
  if (!parse_end(from, axis.from) || !parse_end(to, axis.to)) {
    error = "--grid " + axis.name +
            ": FROM and TO must be finite numbers within single "
            "precision; found \"" +
            from + "\" and \"" + to + "\"";
    return false;
  }
  errno = 0;
  char* end = nullptr;
  const long cells = std::strtol(n.c_str(), &end, 10);
  if (n.empty() || *end != '\0' || errno == ERANGE || cells < 1 || cells > max_grid_cells) {
    error = "--grid " + axis.name + ": N takes a whole number from 1 to " +
            std::to_string(max_grid_cells) + "; found \"" + n + "\"";
    return false;
  }
  axis.n = static_cast<int>(cells);
  if (axis.from == axis.to && axis.n > 1) {
    error = "--grid " + axis.name + ": FROM equals TO, so its " + n +
            " cells would all be one; give N = 1 or two different ends";
    return false;
  }
  return true;
}

}  // namespace

bool parse_grid_option(int& i, int argc, const char* const* argv, run_options& options,
                       bool& matched, std::string& error) {
  const std::string_view arg = argv[i];
  matched = false;
  if (arg == "--resume") {
    matched = true;
    options.resume = true;
    return true;
  }
  constexpr std::string_view name = "--grid";
  std::string value;
  if (arg == name) {
    matched = true;
    if (i + 1 >= argc) {
      error = "--grid needs a value";
      return false;
    }
    value = argv[++i];
  } else if (arg.substr(0, name.size() + 1) == "--grid=") {
    matched = true;
    value = std::string(arg.substr(name.size() + 1));
  } else {
    return true;
  }
  grid_axis axis;
  if (!parse_axis(value, axis, error)) {
    return false;
  }
  options.grid.push_back(axis);
  return true;
}

std::string grid_option_problem(const run_options& options) {
  const std::vector<grid_axis>& axes = options.grid;
  if (axes.empty()) {
    return options.resume ? "--resume continues a map: it needs its two --grid options" : "";
  }
  if (options.method != run_method::precise || !options.chaos) {
    return "--grid needs --precise --chaos: each cell is judged by the chaos indicator";
  }
  if (options.periodic > 0) {
    return "--grid does not go with --periodic";
  }
  if (axes.size() != 2) {
    return "--grid is given exactly twice, x then y; found it " + std::to_string(axes.size()) +
           " time" + (axes.size() == 1 ? "" : "s");
  }
  if (axes[0].name == axes[1].name) {
    return "--grid: both axes are " + axes[0].name + "; give two different names";
  }
  grid_plan plan{{axes[0], axes[1]}, {}, model_for(options)};
  if (cell_count(plan) > max_grid_cells) {
    return "--grid: " + std::to_string(cell_count(plan)) + " cells, more than " +
           std::to_string(max_grid_cells);
  }
  for (const auto& [name, value] : options.params) {
    if (name == axes[0].name || name == axes[1].name) {
      return "--param " + name + " and --grid " + name + " both set " + name + "; give one";
    }
  }
  const std::string why = grid_constant_problem(plan);
  if (!why.empty()) {
    return "--grid: " + why + " makes the equations meaningless (they divide by it)";
  }
  return {};
}

const char* grid_help() {
  return "  --grid NAME=FROM:TO:N\n"
         "                       with --precise --chaos, twice (x, then y): a stability map\n"
         "                       over phi0, l0 or a constant, N values from FROM to TO; one\n"
         "                       line per cell in RESULT/grid.txt (no lL.txt, chaos.txt or\n"
         "                       rotation.txt); with --rotation, rotation columns too\n"
         "  --resume             with --grid: continue an interrupted RESULT/grid.txt\n";
}
