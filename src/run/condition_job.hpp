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
#include "run/engine.hpp"

// Points a job may hold that the engine has not taken before it waits (about 1 MiB).
constexpr std::size_t job_point_cap = std::size_t{1} << 16;

struct job_channel {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<point_list> points;  // per condition of the job: produced, not yet taken
  int finished = 0;                // conditions of the job whose points are all produced
  std::string failure;             // why the condition `finished` stopped early, if it did
  // Classic method: the first accepted step, and the step size the condition leaves.
  bool first_known = false;
  bool first_accepted = false;
  double first_h = 0.0;
  double end_h = 0.0;
  std::vector<chaos_summary> chaos;  // per condition, when asked for
  std::atomic<bool> cancel{false};
};

struct condition_job {
  int first = 0;  // index of its first condition in the request
  int count = 0;  // conditions it computes
  double h_start = 0.0;
  bool confirmed = false;  // started from the real step size: nothing to confirm
  std::shared_ptr<job_channel> channel;
};

// Starts a job for conditions [first, first + count) on a new thread; when no thread can be
// had the job is computed on the calling thread, in turn.
condition_job start_job(const run_request& r, int first, int count, double h_start, bool in_turn);
