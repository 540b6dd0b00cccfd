// The three standard descriptors, made safe to use before anything else is opened.
#pragma once

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. A program started with
// standard output closed (`trivella >&-`, some daemons) would otherwise receive descriptor 1
// for ini.txt or RESULT/lL.txt, and the banner would be written into the results.
// False when a closed descriptor could not be filled (then nothing may be opened safely).
bool fill_closed_std_descriptors();

// Flushes standard output and reports whether everything written to it arrived; for -h and
// --version, whose only job is that output.
bool stdout_written();
