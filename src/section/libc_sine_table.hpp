// The C library's table of sin and cos at k/128 (k = 0 .. 109, each a double-double), found in
// the loaded libm so that the lanes of libc_sine_lanes.hpp read the very values its sin reads.
#pragma once

// The table's 440 doubles, or nullptr where no such table is found (another C library, or
// another version of its sin): the lanes then call sin and cos.
const double* libc_sine_table();
