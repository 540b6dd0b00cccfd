// Checks and messages about the files of a run.
#include "run/run_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) {
    return fs::equivalent(a, b, ec) && !ec;
  }
  const fs::path ca = fs::weakly_canonical(a, ec);
  const fs::path cb = fs::weakly_canonical(b, ec);
  return !ec && ca == cb;
}

std::string overwrite_problem(const std::vector<std::string>& results,
                              const std::vector<condition_block>& blocks) {
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (same_file(results[i], ini_path)) {
      return results[i] + " is ini.txt itself (a link?); the run would overwrite its own input";
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (same_file(results[i], results[j])) {
        return results[i] + " and " + results[j] + " are one file (a link?); remove the link";
      }
    }
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::string& name = blocks[i].name_file;
    if (same_file(name, ini_path)) {
      return "ini.txt: condition " + std::to_string(i + 1) + ": the condition file " + name +
             " is ini.txt itself; choose another name";
    }
    for (const std::string& result : results) {
      if (same_file(name, result)) {
        return "ini.txt: condition " + std::to_string(i + 1) + ": the condition file " + name +
               " is the result file " + result + "; choose another name";
      }
    }
  }
  return {};
}

std::string cannot_create(const std::string& path) {
  const int reason = errno;
  std::string message = "cannot create " + path + ": " + std::strerror(reason);
  if (reason == ENOENT && path.rfind("./RESULT/", 0) == 0) {
    message += "; the working directory needs a RESULT directory (mkdir RESULT)";
  }
  return message;
}

bool create_empty(const std::string& path, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) {
    error = cannot_create(path);
    return false;
  }
  std::fclose(f);
  return true;
}
