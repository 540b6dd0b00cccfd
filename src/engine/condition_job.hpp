// A worker computing consecutive conditions on its own thread, owned by the engine, which
// takes their points through the job's channel.
#pragma once

#include <memory>
#include <thread>
#include <vector>

#include "engine/engine.hpp"
#include "engine/job_channel.hpp"

// Conditions a precise job advances together in SIMD lanes.
constexpr int precise_job_lanes = 8;

struct condition_job {
  int first = 0;           // index of its first condition in the request
  int count = 0;           // conditions it computes
  bool confirmed = false;  // classic: its first condition started from the real step size
  // Classic: the condition at each offset is delivered from its second run, the one from its
  // alternative start, whose first step the real start confirmed.
  std::vector<bool> use_alternative;
  std::shared_ptr<job_channel> channel;
  std::jthread worker;  // joined by stop_job, or on destruction
};

// Starts a job for conditions [first, first + count) on a new thread; classic conditions all
// start with step size h_start, several of them in SIMD lanes. Throws std::system_error when
// no thread can be had.
condition_job start_job(const run_request& r, int first, int count, double h_start, bool in_turn);

// The slot of the job's channel that holds condition `index` as delivered.
std::size_t slot_of(const condition_job& job, int index);

// Cancels the job, waits for its thread (it stops within a step) and frees its spool files.
void stop_job(condition_job& job);
