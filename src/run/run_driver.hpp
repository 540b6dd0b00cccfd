// The order of a whole run: banner, header, result files, then every condition in turn.
#pragma once

// Runs the program in the current directory, reading ini.txt and writing under RESULT.
// Returns the exit status: 0 after a complete run, 1 after an error reported on stderr.
int run_trivella();
