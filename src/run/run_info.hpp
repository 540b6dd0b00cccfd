// The extra files of a precise run: RESULT/run_info.txt, which says how the points were made,
// and RESULT/chaos.txt with the chaos indicator of each condition.
#pragma once

#include <array>
#include <cstdio>
#include <string>

#include "chaos/chaos_summary.hpp"
#include "engine/engine.hpp"

// Writes RESULT/run_info.txt: one "key value" line each for the method, tol, the direction of
// time, L and the model's constants. False with `error` set.
bool write_run_info(const run_request& r, std::string& error);

// Creates RESULT/chaos.txt with its two header lines: the threshold, then the column names.
bool open_chaos_file(std::FILE*& chaos, std::string& error);

// One line: the condition, phi0, l0, megno, lyapunov, periods and the verdict as the last word
// (regular, chaotic, or undecided under min_verdict_periods periods).
void write_chaos_line(std::FILE* chaos, int condition, const std::array<double, 2>& y0,
                      const chaos_summary& summary);

// Flushes and closes f; false, with errno telling why, when anything written was lost.
bool close_written(std::FILE* f);
