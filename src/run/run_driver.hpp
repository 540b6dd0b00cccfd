// The order of a whole run: banner, ini.txt, result files, then every condition in turn.
#pragma once

#include "run/command_line.hpp"

// Runs the program as the options say, in their directory. Returns the exit status: 0 after a
// complete run, 1 after an error reported on stderr, 128 + the signal after an interrupt.
int run_trivella(const run_options& options);
