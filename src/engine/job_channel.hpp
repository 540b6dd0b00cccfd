// The channel through which a worker hands the points of its conditions to the engine: the
// condition in turn through memory, bounded; conditions ahead of their turn through unnamed
// spool files, so that memory stays flat however far the work runs ahead.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "chaos/chaos_summary.hpp"
#include "section/section_map.hpp"
#include "skeleton/rotation_number.hpp"

// Points the condition in turn may hold in memory that the engine has not taken before its
// worker waits (1 MiB).
constexpr std::size_t job_point_cap = std::size_t{1} << 16;

// What one condition of a job has produced. Its points lie first in `file` (from index
// `taken` to `spooled`), then in `points`: once the engine has caught up with the file in the
// condition's turn, the worker switches to memory for good.
struct condition_slot {
  point_list points;       // produced, not yet taken
  int file = -1;           // spool file; -1 before the first point written to it
  long long spooled = 0;   // points written to the file
  long long taken = 0;     // points of the file the engine has read
  bool in_turn = false;    // the engine is delivering this condition
  bool to_memory = false;  // the worker hands the points over in memory from now on
  bool finished = false;   // every point produced, or the condition stopped early
  std::string failure;     // why it stopped early, if it did
  chaos_summary chaos;
  rotation_summary rotation;
  // Classic method: the first accepted step from the job's starting step size, and the step
  // size the condition leaves.
  bool first_known = false;
  bool first_accepted = false;
  double first_h = 0.0;
  double end_h = 0.0;
};

struct job_channel {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<condition_slot> slots;
  std::string spool_dir;            // where spool files are made (run_request::spool_dir)
  std::atomic<bool> cancel{false};  // the worker stops within one step once this is set
};

// Worker side. Hands over the points of slot `index`; `last`: the condition produces no more.
// Before the condition's turn the points are gathered and written to its spool file; once the
// engine has read that file to its end in the condition's turn, they go through memory, and
// the worker waits while job_point_cap of them are not taken. False when the job is
// cancelled.
bool hand_over(job_channel& ch, std::size_t index, point_list& batch, bool last);

// Worker side: the condition of slot `index` produces nothing more; `failure` says why it
// stopped early, if it did.
void finish(job_channel& ch, std::size_t index, std::string failure,
            const chaos_summary& chaos = {}, const rotation_summary& rotation = {});

// Engine side: slot `index` is the condition being delivered.
void begin_turn(job_channel& ch, std::size_t index);

// Engine side: waits at most `wait` for points of slot `index` and moves them to `taken`, the
// spooled ones first. `finished` is set once every point is taken and the condition is
// finished; its spool file is closed then. False when a spool file cannot be read back.
bool take_points(job_channel& ch, std::size_t index, point_list& taken, bool& finished,
                 std::chrono::milliseconds wait);

// Closes the spool files of the channel's conditions, freeing their disk space.
void close_spools(job_channel& ch);
