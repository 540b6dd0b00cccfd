// A stability map: the chaos indicator of every cell of a plane of initial conditions or of
// model constants, one line per cell in RESULT/grid.txt.
#pragma once

#include "ini/ini_text.hpp"
#include "run/command_line.hpp"
#include "run/console.hpp"

// Computes the cells of options.grid in row order (those after the last complete line of
// grid.txt with --resume), a batch of them at a time through the engine, each line written as
// its cell ends; then run_info.txt. A failed cell gets the verdict `failed` and the map goes
// on. Returns the exit status as run_trivella: 1 also when any cell failed.
int run_grid(const run_options& options, const ini_contents& ini, console& out);
