// An in-memory point file for tests of the section loop.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

struct point_capture {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* file = open_memstream(&buffer, &size);

  point_capture() = default;
  point_capture(const point_capture&) = delete;
  point_capture& operator=(const point_capture&) = delete;
  ~point_capture() {
    std::fclose(file);
    std::free(buffer);
  }
  std::string text() {
    std::fflush(file);
    return {buffer, size};
  }
};
