// Checks and messages about the files of a run. Every check here reads the file system and
// changes nothing in it, so that a refused run leaves every earlier result as it was.
#include "run/run_files.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Loops of links end here, as the kernel's own limit ends them.
constexpr int max_link_depth = 40;

// The file that opening `path` for writing would reach: links followed even where their
// target does not exist yet, since opening with "w" creates that target.
fs::path link_target(const std::string& path) {
  fs::path p = path;
  std::error_code ec;
  for (int depth = 0; depth < max_link_depth && fs::is_symlink(fs::symlink_status(p, ec));
       ++depth) {
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) {
      break;
    }
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  const fs::path whole = fs::weakly_canonical(p, ec);
  return ec ? p.lexically_normal() : whole;
}

// The directory that must hold `path`, for the hint after "cannot create".
std::string result_dir_hint(const std::string& dir) {
  return dir.empty() ? "mkdir RESULT" : "mkdir " + (fs::path(dir) / "RESULT").string();
}

}  // namespace

bool same_file(const std::string& a, const std::string& b) {
  const fs::path ta = link_target(a);
  const fs::path tb = link_target(b);
  std::error_code ec;
  if (fs::exists(ta, ec) && fs::exists(tb, ec)) {
    return fs::equivalent(ta, tb, ec) && !ec;  // hard links too
  }
  return ta == tb;
}

int creation_error(const std::string& path) {
  const fs::path target = link_target(path);
  std::error_code ec;
  const fs::file_status status = fs::status(target, ec);
  if (fs::exists(status)) {
    if (fs::is_directory(status)) {
      return EISDIR;
    }
    return ::access(target.c_str(), W_OK) == 0 ? 0 : errno;
  }
  const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const fs::file_status parent_status = fs::status(parent, ec);
  if (!fs::exists(parent_status)) {
    return ENOENT;
  }
  if (!fs::is_directory(parent_status)) {
    return ENOTDIR;
  }
  return ::access(parent.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

std::string overwrite_problem(const std::vector<std::string>& results,
                              const std::vector<condition_block>& blocks, const std::string& dir) {
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (same_file(results[i], ini_path)) {
      return results[i] + " is ini.txt itself (a link?); the run would overwrite its own input";
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (same_file(results[i], results[j])) {
        return results[i] + " and " + results[j] + " are one file (a link?); remove the link";
      }
    }
    if (const int reason = creation_error(results[i]); reason != 0) {
      errno = reason;
      return cannot_create(results[i], dir) + "; nothing was written";
    }
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::string& name = blocks[i].name_file;
    const std::string where = "ini.txt: condition " + std::to_string(i + 1) + ": ";
    if (same_file(name, ini_path)) {
      return where + "the condition file " + name + " is ini.txt itself; choose another name";
    }
    for (const std::string& result : results) {
      if (same_file(name, result)) {
        return where + "the condition file " + name + " is the result file " + result +
               "; choose another name";
      }
    }
    // Two conditions may share a file: the second truncates it again, as it would the first.
    if (i > 0 && name == blocks[i - 1].name_file) {
      continue;
    }
    if (const int reason = creation_error(name); reason != 0) {
      return where + "cannot create the condition file " + name + ": " + std::strerror(reason) +
             "; nothing was written (is the path mistyped?)";
    }
  }
  return {};
}

std::string cannot_create(const std::string& path, const std::string& dir) {
  const int reason = errno;
  std::string message = "cannot create " + path + ": " + std::strerror(reason);
  if (reason == ENOENT && path.rfind("./RESULT/", 0) == 0) {
    message += "; the working directory needs a RESULT directory (" + result_dir_hint(dir) + ")";
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

void remove_stale(const std::vector<std::string>& own_kind,
                  const std::vector<std::string>& written) {
  for (const std::string& path : own_kind) {
    bool kept = false;
    for (const std::string& w : written) {
      kept = kept || w == path;
    }
    std::error_code ec;
    if (!kept) {
      fs::remove(path, ec);  // a link is removed, never what it points to
    }
  }
}
