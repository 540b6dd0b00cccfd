// Number of lines (newline characters) in a text, for tests of point files and messages.
#pragma once

#include <algorithm>
#include <string>

inline int line_count(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}
