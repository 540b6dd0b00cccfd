// Parsing of the options: nothing here touches a file.
#include "run/command_line.hpp"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "dynamics/model_rules.hpp"
#include "run/grid_options.hpp"
#include "run/skeleton_options.hpp"

namespace {

bool parse_int(const std::string& text, int low, int high, int& value) {
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || parsed < low || parsed > high) {
    return false;
  }
  value = static_cast<int>(parsed);
  return true;
}

// NAME=VALUE, the value rounded once to single precision as ini.txt numbers are.
bool parse_param(const std::string& text, std::pair<std::string, float>& param,
                 std::string& error) {
  const std::size_t eq = text.find('=');
  const std::string name = text.substr(0, eq);
  model_params probe;
  if (eq == std::string::npos || !set_model_constant(probe, name, 0.0f)) {
    error = "--param takes NAME=VALUE with NAME one of " + model_constant_names() + "; found \"" +
            text + "\"";
    return false;
  }
  const std::string value = text.substr(eq + 1);
  char* end = nullptr;
  const float parsed = std::strtof(value.c_str(), &end);
  if (value.empty() || *end != '\0' || !std::isfinite(parsed)) {
    error = "--param " + name + " needs a finite number within single precision; found \"" + value +
            "\"";
    return false;
  }
  param = {name, parsed};
  return true;
}

bool check_model(const model_params& m, std::string& error) {
  const std::string why = model_problem(m);
  if (!why.empty()) {
    error = "--param: " + why + " makes the equations meaningless (they divide by it)";
    return false;
  }
  return true;
}

// An option's value: the rest of "--name=value", or the next argument.
bool option_value(std::string_view arg, std::string_view name, int& i, int argc,
                  const char* const* argv, std::string& value, bool& matched) {
  matched = false;
  if (arg == name) {
    matched = true;
    if (i + 1 >= argc) {
      return false;
    }
    value = argv[++i];
    return true;
  }
  if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
    matched = true;
    value = std::string(arg.substr(name.size() + 1));
    return true;
  }
  return true;
}

command usage_error(std::string error) { return {command_kind::usage_error, {}, std::move(error)}; }

}  // namespace

const char* usage_line() {
  return "usage: trivella [-h] [--version] [-q] [--threads N] [--precise [--chaos] "
         "[--rotation] [--periodic Q] [--grid NAME=FROM:TO:N --grid NAME=FROM:TO:N [--resume]]] "
         "[--digits N] [--param NAME=VALUE]... [DIR]";
}

std::string help_text() {
  return std::string(usage_line()) +
         "\n\n"
         "Computes the section map of every condition in DIR/ini.txt (DIR defaults to the\n"
         "current directory) and writes the points to DIR/RESULT/lL.txt.\n\n"
         "options:\n"
         "  -h, --help           print this help and exit\n"
         "  --version            print the version and exit\n"
         "  -q, --quiet          print nothing on standard output\n"
         "  --threads N          conditions computed at once (default: every CPU this process\n"
         "                       may use; 1: one after another)\n"
         "  --precise            the precise method: points exactly on the section\n"
         "  --chaos              with --precise: a chaos indicator per condition, in\n"
         "                       RESULT/chaos.txt\n" +
         skeleton_help() + grid_help() +
         "  --digits N           decimals of the point lines, 1 to 17 (default 10)\n"
         "  --param NAME=VALUE   set a model constant: " +
         model_constant_names() +
         " (repeatable)\n\n"
         "Exit status: 0 done, 1 an error (reported on standard error), 2 a usage error,\n"
         "130 or 143 interrupted by SIGINT or SIGTERM (the points so far are kept).\n";
}

command parse_command_line(int argc, const char* const* argv) {
  command c;
  bool dir_given = false;
  bool only_positional = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (only_positional || arg.empty() || arg[0] != '-' || arg == "-") {
      if (dir_given) {
        return usage_error("a second directory \"" + std::string(arg) + "\"");
      }
      c.options.dir = std::string(arg);
      dir_given = true;
      continue;
    }
    if (arg == "--") {
      only_positional = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      c.kind = command_kind::help;
      return c;
    }
    if (arg == "--version") {
      c.kind = command_kind::version;
      return c;
    }
    if (arg == "-q" || arg == "--quiet") {
      c.options.quiet = true;
      continue;
    }
    if (arg == "--precise") {
      c.options.method = run_method::precise;
      continue;
    }
    if (arg == "--chaos") {
      c.options.chaos = true;
      continue;
    }
    bool matched = false;
    std::string option_error;
    if (!parse_skeleton_option(i, argc, argv, c.options, matched, option_error)) {
      return usage_error(option_error);
    }
    if (matched) {
      continue;
    }
    if (!parse_grid_option(i, argc, argv, c.options, matched, option_error)) {
      return usage_error(option_error);
    }
    if (matched) {
      continue;
    }
    std::string value;
    for (const char* name : {"--threads", "--digits", "--param"}) {
      if (!option_value(arg, name, i, argc, argv, value, matched)) {
        return usage_error(std::string(name) + " needs a value");
      }
      if (!matched) {
        continue;
      }
      std::string error;
      if (std::strcmp(name, "--threads") == 0 && !parse_int(value, 1, 4096, c.options.threads)) {
        return usage_error("--threads takes a whole number from 1 to 4096; found \"" + value +
                           "\"");
      }
      if (std::strcmp(name, "--digits") == 0 && !parse_int(value, 1, 17, c.options.digits)) {
        return usage_error("--digits takes a whole number from 1 to 17; found \"" + value + "\"");
      }
      if (std::strcmp(name, "--param") == 0) {
        std::pair<std::string, float> param;
        if (!parse_param(value, param, error)) {
          return usage_error(error);
        }
        c.options.params.push_back(param);
      }
      break;
    }
    if (!matched) {
      return usage_error("unknown option \"" + std::string(arg) + "\"");
    }
  }
  if (c.options.chaos && c.options.method != run_method::precise) {
    return usage_error("--chaos needs --precise: the indicator follows the precise method");
  }
  std::string error = skeleton_option_problem(c.options);
  if (error.empty()) {
    error = grid_option_problem(c.options);
  }
  if (!error.empty()) {
    return usage_error(error);
  }
  if (!check_model(model_for(c.options), error)) {
    return usage_error(error);
  }
  return c;
}

model_params model_for(const run_options& options) {
  model_params m = default_model();
  for (const auto& [name, value] : options.params) {
    set_model_constant(m, name, value);
  }
  return m;
}
