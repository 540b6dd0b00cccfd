// What a run decides after reading ini.txt and before it touches a file: the request for the
// engine, the files it writes, and whether it may start at all.
#pragma once

#include <string>
#include <vector>

#include "engine/engine.hpp"
#include "ini/ini_text.hpp"
#include "run/command_line.hpp"

run_request request_for(const run_options& options, const ini_contents& ini);

// A classic run with no --param writes exactly the files it always wrote; any other run also
// says in RESULT/run_info.txt how its points were made.
bool writes_run_info(const run_options& options);

// The result files of the run, in the order they are created.
std::vector<std::string> result_files(const run_options& options);

// Why the run must not start (constants that make the classic step collapse at once, a file
// that is another or cannot be created), or empty. Appends warnings that stop nothing.
std::string start_problem(const run_options& options, const ini_contents& ini,
                          const run_request& request, const std::vector<std::string>& results,
                          std::vector<std::string>& warnings);
