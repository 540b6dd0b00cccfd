// ini.txt read once, whole, at the start of a run: the header and every block the run uses,
// checked before any result file is touched, and warnings about likely slips.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dynamics/run_config.hpp"
#include "ini/config_reader.hpp"

// Larger files are refused: a real ini.txt of a hundred thousand conditions is a few MiB.
constexpr std::size_t max_ini_size = std::size_t{16} << 20;

struct ini_contents {
  run_config config;
  double h0 = 0.0;  // widened from single precision
  float L = 0.0f;
  std::vector<condition_block> blocks;  // the n_conditions blocks the run uses
  std::vector<std::string> warnings;    // slips that change nothing, one line each
};

// Reads and checks `path`. Returns false with `error` set (one line, naming the place) when
// the file cannot be read, is too large, or a block the run uses is missing or malformed.
bool read_ini(const char* path, ini_contents& ini, std::string& error);

// The same for the whole text of an ini.txt (the explorer's page hands over a file's text).
bool read_ini_text(const std::string& text, ini_contents& ini, std::string& error);

// Warnings about text that reads as valid but is probably not what the user meant; before the
// header is read, only about the encoding. `unread_tokens` follow the last block used.
std::vector<std::string> ini_warnings(const std::string& text, const ini_contents& ini,
                                      bool header_read, std::size_t unread_tokens);
