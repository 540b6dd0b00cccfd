// The extra files of a run with options: RESULT/run_info.txt, which says how the points were
// made (precise runs, and classic runs with changed constants), and RESULT/chaos.txt with the
// chaos indicator of each condition.
#pragma once

#include <array>
#include <cstdio>
#include <string>

#include "chaos/chaos_summary.hpp"
#include "engine/engine.hpp"

// Writes RESULT/run_info.txt: one "key value" line each for the method, tol, the direction of
// time, L, the model's constants and the names of those changed from their defaults
// ("changed e omega", or "changed none"). False with `error` set.
bool write_run_info(const run_request& r, std::string& error);

// Creates RESULT/chaos.txt with its two header lines: the threshold, then the column names.
bool open_chaos_file(std::FILE*& chaos, std::string& error);

// One line: the condition, phi0, l0, megno, lyapunov, periods and the verdict as the last word
// (regular, chaotic, or undecided under min_verdict_periods periods).
void write_chaos_line(std::FILE* chaos, int condition, const std::array<double, 2>& y0,
                      const chaos_summary& summary);

// The verdict word of chaos.txt and grid.txt: regular, chaotic, or undecided without a period
// or under min_verdict_periods periods.
const char* chaos_verdict(const chaos_summary& summary);

// Flushes and closes f; false, with errno telling why, when anything written was lost.
bool close_written(std::FILE* f);
