// The --periodic run (the same files and checks as an ordinary run, one Newton search a
// condition, each finished condition on disk before the next starts) and --rotation.
#include "run/skeleton_run.hpp"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "run/grid_file.hpp"
#include "run/interrupts.hpp"
#include "run/point_file.hpp"
#include "run/run_checks.hpp"
#include "run/run_files.hpp"
#include "run/run_info.hpp"
#include "run/skeleton_files.hpp"
#include "skeleton/periodic_orbit.hpp"

namespace {

// The precise method's settings for a run of `r` without tangent: its tol and direction.
precise_config precise_config_for(const run_request& r) {
  precise_config c;
  c.tol = r.config.tol;
  c.direction = 0.0 < r.h0 ? 1 : -1;
  return c;
}

int give_up(console& out, const std::string& message) {
  report(out, message);
  return 1;
}

// One condition: its (empty) file, the search, its line and its points. False with `error`.
bool run_condition(const run_request& r, int Q, const condition_block& block, int condition,
                   std::FILE* periodic, point_file& points, std::string& error) {
  std::FILE* own = std::fopen(block.name_file.c_str(), "w");
  if (own == nullptr) {
    error = "condition " + std::to_string(condition) + ": " + cannot_create(block.name_file);
    return false;
  }
  std::fclose(own);
  const periodic_orbit o = find_periodic_orbit(r.m, precise_config_for(r), block.y, Q);
  write_periodic_line(periodic, condition, o);
  point_list orbit;
  for (const std::array<double, 2>& x : o.points) {
    orbit.push_back(to_section_point(x, r.m.L));
  }
  if (!add_points(points, orbit) || !flush_points(points) || std::fflush(periodic) != 0) {
    error =
        points.error.empty() ? std::string("writing ") + periodic_path + " failed" : points.error;
    return false;
  }
  return true;
}

}  // namespace

int run_periodic(const run_options& options, const ini_contents& ini, console& out) {
  const std::vector<std::string> results{common_path, points_path, integration_path, run_info_path,
                                         periodic_path};
  const std::string problem = overwrite_problem(results, ini.blocks, options.dir);
  if (!problem.empty()) {
    return give_up(out, problem);
  }
  point_file points;
  points.digits = options.digits;
  std::string error;
  const std::string dir_name = options.dir.empty() ? "this directory" : options.dir;
  std::FILE* periodic = nullptr;
  if (!open_point_file(points, points_path, dir_name, error) || !create_empty(common_path, error) ||
      !create_empty(integration_path, error) ||
      !open_periodic_file(periodic, options.periodic, error)) {
    return give_up(out, error);
  }
  remove_stale({grid_path}, results);
  const run_request r = request_for(options, ini);
  plan_progress(out, ini.config.n_conditions, static_cast<long long>(ini.blocks.size()));
  int signal = 0;
  bool written = true;
  for (std::size_t i = 0; i < ini.blocks.size() && written; ++i) {
    signal = interrupt_signal();
    if (signal != 0) {
      break;
    }
    const int condition = static_cast<int>(i + 1);
    print_condition(out, condition);
    written = run_condition(r, options.periodic, ini.blocks[i], condition, periodic, points, error);
    note_points(out, condition);
  }
  // Each condition writes periodic.txt after lL.txt, and closes it last: the picture tool
  // takes periodic.txt not older than lL.txt for the file of these points.
  std::string close_error;
  bool closed = close_point_file(points);
  closed = close_skeleton_file(periodic, periodic_path, close_error) && closed;
  closed = closed && write_run_info(r, close_error);
  if (!written) {
    return give_up(out, error);
  }
  if (!closed) {
    return give_up(out, close_error.empty() ? points.error : close_error);
  }
  if (signal != 0) {
    report(out, std::string("interrupted by ") + (signal == SIGINT ? "SIGINT" : "SIGTERM") +
                    "; the orbits found so far are in RESULT/periodic.txt");
    return 128 + signal;
  }
  print_summary(out, "RESULT/periodic.txt");
  return 0;
}

rotation_summary condition_rotation(const run_options& options, const ini_contents& ini,
                                    int condition) {
  const run_request r = request_for(options, ini);
  return measure_rotation(r.m, precise_config_for(r),
                          ini.blocks[static_cast<std::size_t>(condition - 1)].y, r.config.n_points);
}
