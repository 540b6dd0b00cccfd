// Workers of the engine: each computes its conditions point by point and hands the points over
// through its channel.
#include "engine/condition_job.hpp"

#include <utility>

#include "dynamics/integration_state.hpp"
#include "engine/precise_job.hpp"
#include "section/section_lanes.hpp"
#include "section/section_outcome.hpp"
#include "section/speculative_run.hpp"
#include "section/stop_cause.hpp"

namespace {

// Tells the engine the first accepted step of slot `index` from the job's starting step size,
// against which it confirms the condition in its turn.
void publish_first_step(const run_request& r, double h_start, job_channel& ch, std::size_t index) {
  double first_h = 0.0;
  const bool accepted = first_accepted_step(r.m, r.config, r.y0[index], h_start, first_h);
  const std::lock_guard lock(ch.mutex);
  condition_slot& slot = ch.slots[index];
  slot.first_known = true;
  slot.first_accepted = accepted;
  slot.first_h = first_h;
  ch.changed.notify_all();
}

// Hands over the end of a classic condition: the step size it leaves and why it stopped.
void finish_classic(const run_request& r, job_channel& ch, std::size_t index,
                    const section_outcome& outcome, const integration_state& s) {
  {
    const std::lock_guard lock(ch.mutex);
    ch.slots[index].end_h = s.h;
  }
  finish(ch, index,
         outcome.stop == section_stop::done
             ? ""
             : describe_stop(outcome, r.m, r.config, r.y0[index], s.y));
}

// One classic condition, one point at a time so that the points stream out as they come: a
// loop that stops right after a point resumes exactly where a longer one would have gone on.
void run_classic(const run_request& r, double h_start, job_channel& ch) {
  publish_first_step(r, h_start, ch, 0);
  integration_state s;
  s.y = r.y0.front();
  s.h = h_start;
  run_config one_point = r.config;
  point_list batch;
  section_outcome outcome;
  while (s.count < r.config.n_points) {
    one_point.n_points = s.count + 1;
    outcome = run_section_map(r.m, one_point, s, batch, &ch.cancel);
    const bool last = outcome.stop != section_stop::done || s.count == r.config.n_points;
    if (!hand_over(ch, 0, batch, last)) {
      return;
    }
    if (outcome.stop != section_stop::done) {
      break;
    }
  }
  finish_classic(r, ch, 0, outcome, s);
}

// Classic conditions in lanes, each confirmed like run_classic's and streamed point by point:
// a lane goes idle after each point, hands it over and resumes exactly where it was.
void run_classic_lanes(const run_request& r, double h_start, job_channel& ch) {
  const std::size_t n = r.y0.size();
  std::vector<section_lane> lanes(n);
  for (std::size_t j = 0; j < n; ++j) {
    publish_first_step(r, h_start, ch, j);
    lanes[j].s.y = r.y0[j];
    lanes[j].s.h = h_start;
    lanes[j].n_points = 1;
    start_section_lane(r.m, r.config, lanes[j]);
  }
  std::vector<bool> retired(n, false);
  std::size_t running = n;
  while (running > 0) {
    advance_section_lanes(r.m, r.config, lanes, &ch.cancel);
    for (std::size_t j = 0; j < n; ++j) {
      section_lane& lane = lanes[j];
      if (retired[j] || lane.phase != lane_phase::idle) {
        continue;
      }
      const bool more = lane.outcome.stop == section_stop::done && lane.s.count < r.config.n_points;
      if (!hand_over(ch, j, lane.points, !more)) {
        return;
      }
      if (more) {
        lane.n_points = lane.s.count + 1;
        start_section_lane(r.m, r.config, lane);
        continue;
      }
      finish_classic(r, ch, j, lane.outcome, lane.s);
      retired[j] = true;
      --running;
    }
  }
}

void run_job(const run_request& r, double h_start, job_channel& ch) {
  if (r.method == run_method::precise) {
    run_precise_job(r, ch);
  } else if (r.y0.size() == 1) {
    run_classic(r, h_start, ch);
  } else {
    run_classic_lanes(r, h_start, ch);
  }
}

}  // namespace

condition_job start_job(const run_request& r, int first, int count, double h_start, bool in_turn) {
  condition_job job;
  job.first = first;
  job.count = count;
  job.confirmed = in_turn || r.method == run_method::precise;
  job.channel = std::make_shared<job_channel>();
  job.channel->slots.resize(static_cast<std::size_t>(count));
  job.channel->spool_dir = r.spool_dir;
  run_request own{r.m, r.config, r.h0, r.method, r.chaos, r.threads, {}, {}, {}};
  const auto begin = r.y0.begin() + first;
  own.y0.assign(begin, begin + count);
  if (!r.condition_m.empty()) {
    const auto models = r.condition_m.begin() + first;
    own.condition_m.assign(models, models + count);
  }
  job.worker = std::jthread([request = std::move(own), h_start, channel = job.channel] {
    run_job(request, h_start, *channel);
  });
  return job;
}

void stop_job(condition_job& job) {
  job_channel& ch = *job.channel;
  {
    const std::lock_guard lock(ch.mutex);
    ch.cancel = true;
    ch.changed.notify_all();
  }
  if (job.worker.joinable()) {
    job.worker.join();
  }
  close_spools(ch);
}
