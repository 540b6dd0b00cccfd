// Closing the run's streams in order, and the messages about its files.
#include "run/run_files.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

void report(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "trivella: %s\n", message.c_str());
}

bool close_streams(run_streams& f, std::string& error) {
  if (f.ini != nullptr) {
    std::fclose(f.ini);
    f.ini = nullptr;
  }
  bool written = true;
  for (auto [stream, path] : {std::pair{&f.common, common_path}, std::pair{&f.points, points_path},
                              std::pair{&f.integration, integration_path}}) {
    if (*stream == nullptr) {
      continue;
    }
    const bool failed = std::ferror(*stream) != 0;
    if ((std::fclose(*stream) != 0 || failed) && written) {
      error = write_failed(path);
      written = false;
    }
    *stream = nullptr;
  }
  return written;
}

std::string cannot_create(const std::string& path) {
  const int reason = errno;
  std::string message = "cannot create " + path + ": " + std::strerror(reason);
  if (reason == ENOENT && path.rfind("./RESULT/", 0) == 0) {
    message += "; the working directory needs a RESULT directory (mkdir RESULT)";
  }
  return message;
}

std::string write_failed(const std::string& path) {
  const int reason = errno;
  return "writing " + path + " failed: " + std::strerror(reason);
}

bool names_a_run_file(const std::string& name) {
  for (const char* path : {ini_path, common_path, points_path, integration_path}) {
    std::error_code ec;
    if (std::filesystem::equivalent(name, path, ec) && !ec) {
      return true;
    }
  }
  return false;
}
