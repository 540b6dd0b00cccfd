// Points of the section loop collected in memory, and their lines as the point file holds them.
#pragma once

#include <string>

#include "section/section_map.hpp"

struct point_capture {
  point_list points;

  std::string text(int digits = default_digits) const {
    std::string lines;
    for (const section_point& p : points) {
      append_point_line(lines, p, digits);
    }
    return lines;
  }
};
