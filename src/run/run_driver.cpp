// The run driver: owns every stream from opening to closing and reports each failure once.
#include "run/run_driver.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <future>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "dynamics/integration_state.hpp"
#include "dynamics/model.hpp"
#include "run/config_reader.hpp"
#include "run/run_config.hpp"
#include "run/run_files.hpp"
#include "run/speculative_run.hpp"
#include "section/section_map.hpp"
#include "section/section_outcome.hpp"

namespace {

int give_up(run_streams& f, const std::string& message) {
  report(message);
  std::string ignored;
  close_streams(f, ignored);
  return 1;
}

// A condition block read ahead of its turn, with its run started on another core.
struct pending_condition {
  int number = 0;
  bool read = false;
  std::string error;  // why the block could not be read
  condition_block block;
  std::future<speculative_result> result;  // not valid: run the condition in its turn
};

struct condition_outcome {
  bool ok = true;
  std::string message;
};

condition_outcome failed(std::string message) { return {false, std::move(message)}; }

// Reads blocks ahead, up to `window` of them, and starts each one's run from h_guess.
void read_ahead(std::FILE* ini, const model_params& m, const run_config& config, double h_guess,
                std::size_t window, int& next_block, std::deque<pending_condition>& ahead) {
  while (next_block <= config.n_conditions && ahead.size() < window &&
         (ahead.empty() || ahead.back().read)) {
    pending_condition p;
    p.number = next_block++;
    p.read = read_condition(ini, p.number, p.block, p.error);
    if (p.read && config.n_points > 0) {
      // The run gets its own copies, and the thread is detached: after an error the driver
      // returns at once instead of waiting for runs whose results nobody will take.
      std::promise<speculative_result> promise;
      std::future<speculative_result> result = promise.get_future();
      try {
        std::thread([promise = std::move(promise), m, config, y0 = p.block.y, h_guess]() mutable {
          promise.set_value(run_speculatively(m, config, y0, h_guess));
        }).detach();
        p.result = std::move(result);
      } catch (const std::system_error&) {
        // No thread to be had: the condition runs in its turn instead.
      }
    }
    ahead.push_back(std::move(p));
  }
}

// Runs every condition in order, as if one after another: the console numbers, the condition
// files, the point lines and h carried over are those of a sequential run. Conditions are
// computed ahead on all cores and each result is taken over only once it is confirmed for the
// step size the previous condition really left.
condition_outcome run_conditions(run_streams& f, const model_params& m, const run_config& config,
                                 integration_state& s) {
  const std::size_t window = 2 * std::max(1U, std::thread::hardware_concurrency());
  const double h_guess = s.h;
  std::deque<pending_condition> ahead;
  int next_block = 1;
  for (int i = 1; i <= config.n_conditions; ++i) {
    read_ahead(f.ini, m, config, h_guess, window, next_block, ahead);
    std::printf("%4d", i);
    std::fflush(stdout);
    pending_condition p = std::move(ahead.front());
    ahead.pop_front();
    if (!p.read) {
      return failed(p.error);
    }
    const std::string where = "condition " + std::to_string(i) + ": ";
    if (names_a_run_file(p.block.name_file)) {
      return failed(where + "the condition file " + p.block.name_file +
                    " is ini.txt or a result file; choose another name");
    }
    std::FILE* condition_file = std::fopen(p.block.name_file.c_str(), "w");
    if (condition_file == nullptr) {
      return failed(where + cannot_create(p.block.name_file));
    }
    s.y = p.block.y;
    s.count = 0;
    s.t = 0.0;
    // h is not reset: each condition starts with the step size the previous one left.
    section_outcome outcome;
    bool taken_over = false;
    if (p.result.valid()) {
      const speculative_result early = p.result.get();
      if (confirms(m, config, s.y, s.h, early)) {
        std::fwrite(early.points.data(), 1, early.points.size(), f.points);
        s = early.end;
        outcome = early.outcome;
        taken_over = true;
      }
    }
    if (!taken_over) {
      outcome = run_section_map(m, config, s, f.points);
    }
    std::fclose(condition_file);
    // Points of finished conditions reach the disk before anything later can fail.
    if (std::fflush(f.points) != 0 || std::ferror(f.points) != 0) {
      return failed(write_failed(points_path));
    }
    if (outcome.stop != section_stop::done) {
      return failed(where + describe(outcome, config.eps));
    }
  }
  return {};
}

}  // namespace

int run_trivella() {
  std::fputs("I'm program complex \"Trivella\".\n", stdout);
  std::fputs("I'm working, please wait...\n", stdout);

  run_streams f;
  f.ini = std::fopen(ini_path, "r");
  if (f.ini == nullptr) {
    return give_up(f, std::string("cannot open ini.txt: ") + std::strerror(errno) +
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

  const condition_outcome done = run_conditions(f, m, config, s);
  if (!done.ok) {
    return give_up(f, done.message);
  }

  if (!close_streams(f, error)) {
    report(error);
    return 1;
  }
  return 0;
}
