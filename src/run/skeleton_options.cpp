// Parsing and checks of --periodic and --rotation.
#include "run/skeleton_options.hpp"

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "run/command_line.hpp"
#include "skeleton/periodic_orbit.hpp"

bool parse_skeleton_option(int& i, int argc, const char* const* argv, run_options& options,
                           bool& matched, std::string& error) {
  const std::string_view arg = argv[i];
  matched = false;
  if (arg == "--rotation") {
    matched = true;
    options.rotation = true;
    return true;
  }
  constexpr std::string_view name = "--periodic";
  std::string value;
  if (arg == name) {
    matched = true;
    if (i + 1 >= argc) {
      error = "--periodic needs a value";
      return false;
    }
    value = argv[++i];
  } else if (arg.substr(0, name.size() + 1) == "--periodic=") {
    matched = true;
    value = std::string(arg.substr(name.size() + 1));
  } else {
    return true;
  }
  errno = 0;
  char* end = nullptr;
  const long q = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno == ERANGE || q < 1 || q > max_periodic_period) {
    error = "--periodic takes a whole number from 1 to " + std::to_string(max_periodic_period) +
            "; found \"" + value + "\"";
    return false;
  }
  options.periodic = static_cast<int>(q);
  return true;
}

std::string skeleton_option_problem(const run_options& options) {
  const bool precise = options.method == run_method::precise;
  if (options.periodic > 0 && !precise) {
    return "--periodic needs --precise: the orbits are found on the precise map";
  }
  if (options.rotation && !precise) {
    return "--rotation needs --precise: the angle is followed by the precise method";
  }
  if (options.periodic > 0 && (options.chaos || options.rotation)) {
    return "--periodic goes with neither --chaos nor --rotation: it follows no orbit of ini.txt";
  }
  return {};
}

const char* skeleton_help() {
  return "  --periodic Q         with --precise: from each condition of ini.txt, Newton's\n"
         "                       method finds a periodic orbit of period Q (or a divisor);\n"
         "                       RESULT/periodic.txt, and its points in RESULT/lL.txt\n"
         "  --rotation           with --precise: the rotation number of each orbit, in\n"
         "                       RESULT/rotation.txt\n";
}
