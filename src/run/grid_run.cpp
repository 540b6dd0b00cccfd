// The map's run: the checks and files of an ordinary run, then the cells in batches, so that
// memory holds a batch, never the whole map.
#include "run/grid_run.hpp"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/engine.hpp"
#include "run/grid_file.hpp"
#include "run/interrupts.hpp"
#include "run/run_checks.hpp"
#include "run/run_files.hpp"
#include "run/run_info.hpp"
#include "run/skeleton_files.hpp"

namespace {

// Cells handed to the engine at once: enough that the lanes idle little at each batch's end.
constexpr long long batch_cells = 4096;

struct grid_context {
  const run_options& options;
  const grid_plan& plan;
  const run_request& r;
  console& out;
  grid_file file;
  long long first = 0;   // the cell of the batch's condition 1
  long long done = 0;    // cells written by this run
  long long failed = 0;  // of them, failed
  std::string first_failure;
  rotation_summary rotation;  // with --rotation: of the cell the engine is ending
};

int give_up(console& out, const std::string& message) {
  report(out, message);
  return 1;
}

bool write_cell(grid_context& c, long long index, const grid_result& result) {
  const grid_cell cell = cell_at(c.plan, index);
  ++c.done;
  note_points(c.out, c.done);
  return write_grid_line(c.file, grid_line(cell, result, c.options.rotation));
}

// The cell's line says `failed`, and the first failure is kept for the closing warning.
bool write_failed_cell(grid_context& c, long long index, const std::string& why) {
  if (c.failed++ == 0) {
    const grid_cell cell = cell_at(c.plan, index);
    char where[160];
    std::snprintf(where, sizeof where, "cell %lld (%s %.9g, %s %.9g): ", index + 1,
                  c.plan.axes[0].name.c_str(), cell.xy[0], c.plan.axes[1].name.c_str(), cell.xy[1]);
    c.first_failure = where + why;
  }
  return write_cell(c, index, {true, {}, {}});
}

void fill_batch(run_request& r, const grid_plan& p, long long first, long long count) {
  r.y0.clear();
  r.condition_m.clear();
  for (long long k = first; k < first + count; ++k) {
    const grid_cell cell = cell_at(p, k);
    r.y0.push_back(cell.y0);
    if (has_constant_axis(p)) {
      r.condition_m.push_back(cell.m);
    }
  }
}

run_events events_for(grid_context& c) {
  run_events e;
  e.begin = [](int /*condition*/) { return interrupt_signal() == 0; };
  // The lanes measure each cell's rotation from its own points, just before its end.
  e.rotation = [&c](int /*condition*/, const rotation_summary& rotation) {
    c.rotation = rotation;
    return true;
  };
  e.end = [&c](int condition, const chaos_summary& chaos) {
    return write_cell(c, c.first + condition - 1, {false, chaos, c.rotation});
  };
  // The map goes on past a failed cell.
  e.failed = [&c](int condition, const std::string& why) {
    return write_failed_cell(c, c.first + condition - 1, why);
  };
  e.poll = [&c] {
    note_points(c.out, c.done);
    return interrupt_signal() == 0;
  };
  return e;
}

// Runs the cells from `next` on; false when a failed write or an interrupt stopped them.
bool run_cells(grid_context& c, run_request& r, long long next) {
  const long long cells = cell_count(c.plan);
  while (next < cells) {
    const long long count = std::min(batch_cells, cells - next);
    fill_batch(r, c.plan, next, count);
    c.first = next;
    const run_outcome outcome = run_engine(r, events_for(c));
    if (outcome.end == run_end::complete) {
      next += count;
      continue;
    }
    if (outcome.end == run_end::stopped) {
      return false;
    }
    // The engine itself failed in this cell (a thread that could not start, points that
    // could not be read back): it too reads `failed`, and the map goes on after it.
    const long long index = next + outcome.condition - 1;
    if (!write_failed_cell(c, index, outcome.message)) {
      return false;
    }
    next = index + 1;
  }
  return true;
}

}  // namespace

int run_grid(const run_options& options, const ini_contents& ini, console& out) {
  run_request r = request_for(options, ini);
  r.rotation = options.rotation;
  grid_plan plan{{options.grid[0], options.grid[1]}, {}, r.m};
  if (has_constant_axis(plan)) {
    if (ini.blocks.empty()) {
      return give_up(out,
                     "ini.txt: a map over a constant starts every cell from the first "
                     "condition, and n_conditions is 0");
    }
    plan.seed = ini.blocks[0].y;
  }
  // The condition files of ini.txt are not written: only the settings count.
  const ini_contents settings{ini.config, ini.h0, ini.L, {}, {}};
  const std::vector<std::string> results{grid_path, run_info_path};
  std::vector<std::string> warnings;
  const std::string problem = start_problem(options, settings, r, results, warnings);
  for (const std::string& warning : warnings) {
    report(out, "warning: " + warning);
  }
  if (!problem.empty()) {
    return give_up(out, problem);
  }
  grid_context c{options, plan, r, out, {}, 0, 0, 0, {}, {}};
  std::string error;
  const std::string dir_name = options.dir.empty() ? "this directory" : options.dir;
  if (!open_grid_file(c.file, grid_header(plan, ini.config, ini.h0, options.rotation),
                      cell_count(plan), options.resume, dir_name, error)) {
    return give_up(out, error);
  }
  // RESULT/ then holds the map and nothing of an earlier run of another kind.
  remove_stale(
      {points_path, common_path, integration_path, chaos_path, rotation_path, periodic_path},
      results);
  out.cells = true;
  plan_progress(out, 0, cell_count(plan) - c.file.cells_done);
  const long long before = c.file.cells_done;
  const bool complete = run_cells(c, r, before);
  bool written = close_grid_file(c.file);
  written = write_run_info(r, error) && written;
  if (!c.file.error.empty() || !written) {
    return give_up(out, !c.file.error.empty() ? c.file.error : error);
  }
  if (c.failed > 0) {
    report(out, "warning: " + std::to_string(c.failed) + " of " + std::to_string(c.done) +
                    " cells failed (verdict \"failed\" in " + grid_path + "); the first, " +
                    c.first_failure);
  }
  if (const int signal = interrupt_signal(); !complete && signal != 0) {
    report(out, std::string("interrupted by ") + (signal == SIGINT ? "SIGINT" : "SIGTERM") +
                    " after " + std::to_string(before + c.done) + " of " +
                    std::to_string(cell_count(plan)) + " cells; each is whole in " + grid_path +
                    ", and --resume computes the rest");
    return 128 + signal;
  }
  if (c.failed > 0) {
    return 1;
  }
  print_summary(out, "RESULT/grid.txt");
  return 0;
}
