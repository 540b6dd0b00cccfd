// The run driver: owns every stream from opening to closing and reports each failure once.
#include "run/run_driver.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "dynamics/integration_state.hpp"
#include "dynamics/model.hpp"
#include "run/config_reader.hpp"
#include "run/run_config.hpp"
#include "section/section_map.hpp"
#include "section/section_outcome.hpp"

namespace {

constexpr const char* ini_path = "ini.txt";
constexpr const char* common_path = "./RESULT/common_res.txt";
constexpr const char* points_path = "./RESULT/lL.txt";
constexpr const char* integration_path = "./RESULT/integrir_res.txt";

struct run_streams {
  std::FILE* ini = nullptr;
  std::FILE* common = nullptr;
  std::FILE* points = nullptr;
  std::FILE* integration = nullptr;
};

void report(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "trivella: %s\n", message.c_str());
}

std::string system_reason() { return std::strerror(errno); }

// Closes in the fixed order ini.txt, common, points, integration. Returns false, with the
// reason in `error`, when a result file could not be written completely.
bool close_streams(run_streams& f, std::string& error) {
  bool written = true;
  const auto close = [&](std::FILE*& stream, const char* path) {
    if (stream == nullptr) {
      return;
    }
    const bool failed = std::ferror(stream) != 0;
    if (std::fclose(stream) != 0 || failed) {
      if (written && stream != f.ini) {
        error = std::string("writing ") + path + " failed: " + system_reason();
      }
      written = written && stream == f.ini;
    }
    stream = nullptr;
  };
  close(f.ini, ini_path);
  close(f.common, common_path);
  close(f.points, points_path);
  close(f.integration, integration_path);
  return written;
}

int give_up(run_streams& f, const std::string& message) {
  report(message);
  std::string ignored;
  close_streams(f, ignored);
  return 1;
}

std::string cannot_create(const std::string& path) {
  std::string message = "cannot create " + path + ": " + system_reason();
  if (errno == ENOENT && path.rfind("./RESULT/", 0) == 0) {
    message += "; the working directory needs a RESULT directory (mkdir RESULT)";
  }
  return message;
}

// Opening one of these for writing would truncate the input or another result file.
bool names_a_run_file(const std::string& name) {
  for (const char* path : {ini_path, common_path, points_path, integration_path}) {
    std::error_code ec;
    if (std::filesystem::equivalent(name, path, ec) && !ec) {
      return true;
    }
  }
  return false;
}

}  // namespace

int run_trivella() {
  std::fputs("I'm program complex \"Trivella\".\n", stdout);
  std::fputs("I'm working, please wait...\n", stdout);

  run_streams f;
  f.ini = std::fopen(ini_path, "r");
  if (f.ini == nullptr) {
    return give_up(f, "cannot open ini.txt: " + system_reason() +
                          " (run trivella in a directory that holds ini.txt)");
  }
  run_config config;
  integration_state s;
  model_params m;
  std::string error;
  // The header is read and checked in full before any result file is truncated.
  if (!read_config(f.ini, config, s, m, error)) {
    return give_up(f, error);
  }
  set_model_constants(m);

  for (auto [stream, path] : {std::pair{&f.common, common_path}, std::pair{&f.points, points_path},
                              std::pair{&f.integration, integration_path}}) {
    *stream = std::fopen(path, "w");
    if (*stream == nullptr) {
      return give_up(f, cannot_create(path));
    }
  }

  for (int i = 1; i <= config.n_conditions; ++i) {
    std::printf("%4d", i);
    std::fflush(stdout);
    condition_block block;
    if (!read_condition(f.ini, i, block, error)) {
      return give_up(f, error);
    }
    const std::string where = "condition " + std::to_string(i) + ": ";
    if (names_a_run_file(block.name_file)) {
      return give_up(f, where + "the condition file " + block.name_file +
                            " is ini.txt or a result file; choose another name");
    }
    std::FILE* condition_file = std::fopen(block.name_file.c_str(), "w");
    if (condition_file == nullptr) {
      return give_up(f, where + cannot_create(block.name_file));
    }
    s.y = block.y;
    s.count = 0;
    s.t = 0.0;
    // h is not reset: each condition starts with the step size the previous one left.
    const section_outcome outcome = run_section_map(m, config, s, f.points);
    std::fclose(condition_file);
    // Points of finished conditions reach the disk before anything later can fail.
    if (std::fflush(f.points) != 0 || std::ferror(f.points) != 0) {
      return give_up(f, std::string("writing ") + points_path + " failed: " + system_reason());
    }
    if (outcome.stop != section_stop::done) {
      return give_up(f, where + describe(outcome, config.eps));
    }
  }

  if (!close_streams(f, error)) {
    report(error);
    return 1;
  }
  return 0;
}
