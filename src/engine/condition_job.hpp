// A worker computing consecutive conditions on its own thread, and the channel through which
// the engine takes their points: the condition in turn through memory, bounded; conditions
// ahead of their turn through unnamed temporary files.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "chaos/chaos_summary.hpp"
#include "engine/engine.hpp"

// Points the condition in turn may hold in memory that the engine has not taken before its
// worker waits (1 MiB).
constexpr std::size_t job_point_cap = std::size_t{1} << 16;

// Conditions a precise job advances together in SIMD lanes.
constexpr int precise_job_lanes = 8;

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
};

struct job_channel {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<condition_slot> slots;
  std::string spool_dir;  // where spool files are made (run_request::spool_dir)
  // Classic method: the first accepted step, and the step size the condition leaves.
  bool first_known = false;
  bool first_accepted = false;
  double first_h = 0.0;
  double end_h = 0.0;
  std::atomic<bool> cancel{false};  // the worker stops within one step once this is set
};

struct condition_job {
  int first = 0;           // index of its first condition in the request
  int count = 0;           // conditions it computes
  bool confirmed = false;  // classic: started from the real step size, nothing to confirm
  std::shared_ptr<job_channel> channel;
  std::jthread worker;  // joined by stop_job, or on destruction
};

// Starts a job for conditions [first, first + count) on a new thread; the classic method
// takes one condition a job, starting with step size h_start. Throws std::system_error when
// no thread can be had.
condition_job start_job(const run_request& r, int first, int count, double h_start, bool in_turn);

// Cancels the job, waits for its thread (it stops within a step) and frees its spool files.
void stop_job(condition_job& job);
