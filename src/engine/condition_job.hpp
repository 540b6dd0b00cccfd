// A worker computing consecutive conditions on its own thread, and the channel through which
// the engine takes their points: bounded before its turn and in it.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "chaos/chaos_summary.hpp"
#include "engine/engine.hpp"

// Points a job may hold that the engine has not taken before it waits (about 1 MiB).
constexpr std::size_t job_point_cap = std::size_t{1} << 16;

// What one condition of a job has produced.
struct condition_slot {
  point_list points;      // produced, not yet taken
  bool finished = false;  // every point produced, or the condition stopped early
  std::string failure;    // why it stopped early, if it did
  chaos_summary chaos;
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
  std::atomic<bool> cancel{false};
};

struct condition_job {
  int first = 0;           // index of its first condition in the request
  int count = 0;           // conditions it computes
  bool confirmed = false;  // classic: its first condition started from the real step size
  std::shared_ptr<job_channel> channel;
};

// Starts a job for conditions [first, first + count) on a new thread; classic conditions all
// start with step size h_start, several of them in SIMD lanes. Throws std::system_error when
// no thread can be had.
condition_job start_job(const run_request& r, int first, int count, double h_start, bool in_turn);

// Conditions the precise method computes together in SIMD lanes, when their points fit in a
// job's cap; 1 otherwise.
int precise_group_size(const run_request& r);

// The same for the classic method, whose lanes are those of advance_section_lanes.
int classic_group_size(const run_request& r);
