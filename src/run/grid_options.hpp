// The options of a stability map: --grid NAME=FROM:TO:N (twice) and --resume, parsed apart
// from the rest.
#pragma once

#include <string>

struct run_options;

// Takes argv[i] when it is --grid (with its value, "--grid=..." or the next argument) or
// --resume, advancing i past a separate value. Sets `matched`; returns false with `error` set
// when the option is malformed.
bool parse_grid_option(int& i, int argc, const char* const* argv, run_options& options,
                       bool& matched, std::string& error);

// Why the grid options do not go with the others or with each other; empty when they do.
std::string grid_option_problem(const run_options& options);

// The lines of --help for these options.
const char* grid_help();
