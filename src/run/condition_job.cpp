// Workers of the engine: each computes its conditions point by point and hands the points over
// through its channel, waiting whenever it holds job_point_cap points not yet taken.
#include "run/condition_job.hpp"

#include <thread>
#include <utility>

#include "dynamics/integration_state.hpp"
#include "run/speculative_run.hpp"
#include "run/stop_cause.hpp"
#include "section/section_outcome.hpp"

namespace {

// Hands over the points of condition `index` of the job; false when the job is cancelled.
bool hand_over(job_channel& ch, std::size_t index, point_list& batch) {
  std::unique_lock lock(ch.mutex);
  point_list& held = ch.points[index];
  held.insert(held.end(), batch.begin(), batch.end());
  batch.clear();
  ch.changed.notify_all();
  ch.changed.wait(lock, [&] {
    std::size_t now = 0;
    for (const point_list& p : ch.points) {
      now += p.size();
    }
    // Also in turn: a slow point file must not let the points pile up.
    return now < job_point_cap || ch.cancel.load();
  });
  return !ch.cancel.load();
}

void finish_condition(job_channel& ch, std::string failure) {
  const std::lock_guard lock(ch.mutex);
  ch.failure = std::move(failure);
  ++ch.finished;
  ch.changed.notify_all();
}

// One classic condition, one point at a time so that the points stream out as they come: a
// loop that stops right after a point resumes exactly where a longer one would have gone on.
void run_classic(const run_request& r, int index, double h_start, job_channel& ch) {
  const std::array<double, 2>& y0 = r.y0[static_cast<std::size_t>(index)];
  double first_h = 0.0;
  const bool accepted = first_accepted_step(r.m, r.config, y0, h_start, first_h);
  {
    const std::lock_guard lock(ch.mutex);
    ch.first_known = true;
    ch.first_accepted = accepted;
    ch.first_h = first_h;
    ch.changed.notify_all();
  }
  integration_state s;
  s.y = y0;
  s.h = h_start;
  run_config one_point = r.config;
  point_list batch;
  section_outcome outcome;
  while (s.count < r.config.n_points) {
    one_point.n_points = s.count + 1;
    outcome = run_section_map(r.m, one_point, s, batch);
    if (!hand_over(ch, 0, batch)) {
      return;
    }
    if (outcome.stop != section_stop::done) {
      break;
    }
  }
  {
    const std::lock_guard lock(ch.mutex);
    ch.end_h = s.h;
  }
  finish_condition(ch,
                   outcome.stop == section_stop::done ? "" : describe_stop(outcome, r, y0, s.y));
}

// `r` holds only the job's own initial states.
void run_job(const run_request& r, double h_start, job_channel& ch) {
  for (std::size_t i = 0; i < r.y0.size(); ++i) {
    run_classic(r, static_cast<int>(i), h_start, ch);
  }
}

}  // namespace

condition_job start_job(const run_request& r, int first, int count, double h_start, bool in_turn) {
  condition_job job;
  job.first = first;
  job.count = count;
  job.h_start = h_start;
  job.confirmed = in_turn;
  job.channel = std::make_shared<job_channel>();
  job.channel->points.resize(static_cast<std::size_t>(count));
  // The worker owns copies of everything it reads: after a stop the engine returns at once
  // instead of waiting for the point the worker is computing.
  run_request own{r.m, r.config, r.h0, r.method, r.chaos, r.threads, {}};
  const auto begin = r.y0.begin() + first;
  own.y0.assign(begin, begin + count);
  std::thread([request = std::move(own), h_start, channel = job.channel] {
    run_job(request, h_start, *channel);
  }).detach();
  return job;
}
