// The point file RESULT/lL.txt, written in whole lines only, and locked for the run.
#pragma once

#include <chrono>
#include <span>
#include <string>

#include "section/section_map.hpp"

struct point_file {
  int fd = -1;
  int digits = default_digits;
  std::string pending;  // whole lines not yet written
  std::chrono::steady_clock::time_point last_write{};
  std::string error;  // the first write failure
};

// Opens `path` without truncating it and takes an exclusive lock, so that a second run in
// the same directory is refused before it destroys anything; then truncates it. Returns
// false with `error` set.
bool open_point_file(point_file& f, const char* path, const std::string& dir_name,
                     std::string& error);

// Adds the lines of `points`; they reach the file at the latest half a second later.
bool add_points(point_file& f, std::span<const section_point> points);

// Writes every pending line. False, with f.error set, when the file could not take them.
bool flush_points(point_file& f);

// Flushes, then closes. False when a write or the close failed.
bool close_point_file(point_file& f);
