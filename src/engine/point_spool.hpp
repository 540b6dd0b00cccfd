// Points of conditions computed ahead of their turn wait in unnamed temporary files, as raw
// doubles: memory stays flat however long the run, and nothing is left on disk by any exit.
#pragma once

#include <span>
#include <string>

#include "section/section_map.hpp"

// Bytes a point takes in a spool file: phi and l / L as doubles.
constexpr long long spool_point_bytes = 16;

// Opens a new unnamed file for reading and writing in `dir` (empty: $TMPDIR, else /tmp): an
// O_TMPFILE file where the file system has them, else a mkstemp file unlinked at once.
// Returns its descriptor, or -1 when neither can be made.
int open_spool(const std::string& dir);

// Writes the points at point index `at`; false when not all could be written.
bool spool_write(int fd, long long at, std::span<const section_point> points);

// Reads points.size() points from point index `at`; false on a short read or an error.
bool spool_read(int fd, long long at, std::span<section_point> points);

// Closes the file, freeing its blocks; -1 is ignored.
void close_spool(int fd);
