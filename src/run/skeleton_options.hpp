// The options of the map's skeleton: --periodic Q and --rotation, parsed apart from the rest.
#pragma once

#include <string>

struct run_options;

// Takes argv[i] when it is --periodic (with its value, "--periodic=Q" or the next argument)
// or --rotation, advancing i past a separate value. Sets `matched`; returns false with
// `error` set when the option is malformed.
bool parse_skeleton_option(int& i, int argc, const char* const* argv, run_options& options,
                           bool& matched, std::string& error);

// Why the skeleton options do not go with the others; empty when they do.
std::string skeleton_option_problem(const run_options& options);

// The lines of --help for these options.
const char* skeleton_help();
