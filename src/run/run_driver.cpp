// The run driver: checks everything it can before it touches a file, then streams the points
// of every condition to RESULT/lL.txt and reports each failure once.
#include "run/run_driver.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.hpp"
#include "ini/ini_text.hpp"
#include "run/console.hpp"
#include "run/grid_file.hpp"
#include "run/grid_run.hpp"
#include "run/interrupts.hpp"
#include "run/point_file.hpp"
#include "run/run_checks.hpp"
#include "run/run_files.hpp"
#include "run/run_info.hpp"
#include "run/skeleton_files.hpp"
#include "run/skeleton_run.hpp"

namespace {

struct run_context {
  const run_options& options;
  const ini_contents& ini;
  console& out;
  point_file points;
  std::FILE* condition_file = nullptr;
  std::FILE* chaos = nullptr;
  std::string failure;  // why an event stopped the run
  long long points_of_condition = 0;
  std::FILE* rotation = nullptr;  // --rotation
};

const char* signal_name(int signal) { return signal == SIGINT ? "SIGINT" : "SIGTERM"; }

int give_up(console& out, const std::string& message) {
  report(out, message);
  return 1;
}

run_events events_for(run_context& c) {
  run_events e;
  e.begin = [&c](int condition) {
    print_condition(c.out, condition);
    c.points_of_condition = 0;
    const std::string& name = c.ini.blocks[static_cast<std::size_t>(condition - 1)].name_file;
    c.condition_file = std::fopen(name.c_str(), "w");
    if (c.condition_file == nullptr) {
      c.failure = "condition " + std::to_string(condition) + ": " + cannot_create(name);
      return false;
    }
    return true;
  };
  e.points = [&c](int /*condition*/, std::span<const section_point> points) {
    c.points_of_condition += static_cast<long long>(points.size());
    note_points(c.out, c.out.points_done + static_cast<long long>(points.size()));
    if (!add_points(c.points, points)) {
      c.failure = c.points.error;
      return false;
    }
    return true;
  };
  e.end = [&c](int condition, const chaos_summary& chaos) {
    std::fclose(c.condition_file);
    c.condition_file = nullptr;
    const condition_block& block = c.ini.blocks[static_cast<std::size_t>(condition - 1)];
    if (c.chaos != nullptr) {
      write_chaos_line(c.chaos, condition, block.y, chaos);
    }
    if (c.rotation != nullptr) {
      write_rotation_line(c.rotation, condition, block.y,
                          condition_rotation(c.options, c.ini, condition));
    }
    // Points of finished conditions reach the disk before anything later can fail.
    if (!flush_points(c.points)) {
      c.failure = c.points.error;
      return false;
    }
    return true;
  };
  e.poll = [&c] {
    note_points(c.out, c.out.points_done);
    return interrupt_signal() == 0;
  };
  return e;
}

// Closes the result files; a run with run_info.txt then writes it, last, so that it is newer
// than the points it describes and older than those of any later run. False with `error`
// set when a file could not be written.
bool close_results(run_context& c, const run_request& r, std::string& error) {
  if (c.condition_file != nullptr) {
    std::fclose(c.condition_file);
    c.condition_file = nullptr;
  }
  bool written = close_point_file(c.points);
  error = c.points.error;
  if (c.chaos != nullptr && !close_written(c.chaos) && written) {
    error = std::string("writing ") + chaos_path + " failed: " + std::strerror(errno);
    written = false;
  }
  c.chaos = nullptr;
  std::string rotation_error;
  if (!close_skeleton_file(c.rotation, rotation_path, rotation_error) && written) {
    error = rotation_error;
    written = false;
  }
  if (writes_run_info(c.options) && !write_run_info(r, error)) {
    written = false;
  }
  return written;
}

// Writes what was computed and says where the run stopped.
int after_stop(run_context& c, const run_request& r, const run_outcome& outcome) {
  std::string error;
  const bool written = close_results(c, r, error);
  if (outcome.end == run_end::failed) {
    return give_up(c.out,
                   "condition " + std::to_string(outcome.condition) + ": " + outcome.message);
  }
  const int signal = interrupt_signal();
  if (!c.failure.empty() || !written || signal == 0) {
    return give_up(c.out, !c.failure.empty() ? c.failure : error);
  }
  report(c.out, std::string("interrupted by ") + signal_name(signal) + " during condition " +
                    std::to_string(outcome.condition) + " after " +
                    std::to_string(c.points_of_condition) + " of its points; " +
                    std::to_string(outcome.points) +
                    " points in all are in RESULT/lL.txt, each line whole");
  return 128 + signal;
}

}  // namespace

int run_trivella(const run_options& options) {
  console out = open_console(options.quiet);
  install_interrupt_handlers();
  if (!options.dir.empty() && ::chdir(options.dir.c_str()) != 0) {
    return give_up(out, "cannot enter " + options.dir + ": " + std::strerror(errno));
  }
  print_banner(out);

  ini_contents ini;
  std::string error;
  const bool read = read_ini(ini_path, ini, error);
  for (const std::string& warning : ini.warnings) {
    report(out, "warning: " + warning);
  }
  if (!read) {
    // A signal while ini.txt is opened or read (a FIFO waits for its writer) ends the run
    // as an interrupt, not as a failure to read.
    if (const int signal = interrupt_signal(); signal != 0) {
      report(out, std::string("interrupted by ") + signal_name(signal) +
                      " while reading ini.txt; no file was changed");
      return 128 + signal;
    }
    return give_up(out, error);
  }
  if (options.periodic > 0) {
    return run_periodic(options, ini, out);
  }
  if (!options.grid.empty()) {
    return run_grid(options, ini, out);
  }
  const run_request request = request_for(options, ini);
  const std::vector<std::string> results = result_files(options);
  std::vector<std::string> warnings;
  const std::string problem = start_problem(options, ini, request, results, warnings);
  for (const std::string& warning : warnings) {
    report(out, "warning: " + warning);
  }
  if (!problem.empty()) {
    return give_up(out, problem);
  }

  run_context c{options, ini, out, {}, nullptr, nullptr, {}, 0, nullptr};
  c.points.digits = options.digits;
  const std::string dir_name = options.dir.empty() ? "this directory" : options.dir;
  // The lock is taken before anything is truncated: a second run changes nothing.
  if (!open_point_file(c.points, points_path, dir_name, error)) {
    return give_up(out, error);
  }
  // Files that only some runs write go, so that RESULT/ never mixes two runs; a precise run
  // writes run_info.txt anew when it stops, however it stops.
  remove_stale({run_info_path, chaos_path, rotation_path, periodic_path, grid_path}, results);
  if (!create_empty(common_path, error) || !create_empty(integration_path, error)) {
    return give_up(out, error);
  }
  if (options.chaos && !open_chaos_file(c.chaos, error)) {
    return give_up(out, error);
  }
  if (options.rotation && !open_rotation_file(c.rotation, error)) {
    return give_up(out, error);
  }

  plan_progress(out, ini.config.n_conditions,
                static_cast<long long>(ini.blocks.size()) * std::max(0, ini.config.n_points));
  const run_outcome outcome = run_engine(request, events_for(c));
  if (outcome.end != run_end::complete) {
    return after_stop(c, request, outcome);
  }
  if (!close_results(c, request, error)) {
    return give_up(out, error);
  }
  if (out.stdout_failed) {
    report(out,
           "standard output was closed, so not every condition number was shown; the run "
           "went on and every point is in RESULT/lL.txt");
  }
  print_summary(out, "RESULT/lL.txt");
  return 0;
}
