// Workers of the engine: each computes its conditions point by point and hands the points over
// through its channel.
#include "engine/condition_job.hpp"

#include <iterator>
#include <thread>
#include <utility>

#include "dynamics/integration_state.hpp"
#include "engine/engine.hpp"
#include "engine/precise_job.hpp"
#include "section/section_lanes.hpp"
#include "section/section_outcome.hpp"
#include "section/speculative_run.hpp"
#include "section/stop_cause.hpp"

namespace {

// Tells the engine the first accepted step from h_start of the condition of the job that slot
// `index` runs (condition `condition`), against which it confirms that run in its turn.
void publish_first_step(const run_request& r, double h_start, job_channel& ch, std::size_t index,
                        std::size_t condition) {
  double first_h = 0.0;
  const bool accepted = first_accepted_step(r.m, r.config, r.y0[condition], h_start, first_h);
  const std::lock_guard lock(ch.mutex);
  condition_slot& slot = ch.slots[index];
  slot.first_known = true;
  slot.first_accepted = accepted;
  slot.first_h = first_h;
  ch.changed.notify_all();
}

// Hands over the end of a classic condition (of slot `slot`, condition `index` of the job): the
// step size it leaves and why it stopped.
void finish_classic(const run_request& r, job_channel& ch, std::size_t slot, std::size_t index,
                    const section_outcome& outcome, const integration_state& s) {
  {
    const std::lock_guard lock(ch.mutex);
    ch.slots[slot].end_h = s.h;
  }
  finish(ch, slot,
         outcome.stop == section_stop::done
             ? ""
             : describe_stop(outcome, r.m, r.config, r.y0[index], s.y));
}

// Slot n + j of a job of n conditions holds no second run of condition j.
void publish_no_alternative(job_channel& ch, std::size_t slot) {
  const std::lock_guard lock(ch.mutex);
  ch.slots[slot].first_known = true;
  ch.slots[slot].first_accepted = false;
  ch.changed.notify_all();
}

// One classic condition, one point at a time so that the points stream out as they come: a
// loop that stops right after a point resumes exactly where a longer one would have gone on.
void run_classic(const run_request& r, double h_start, job_channel& ch) {
  publish_first_step(r, h_start, ch, 0, 0);
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
  finish_classic(r, ch, 0, 0, outcome, s);
}

// Runs `lanes`, of slots `slot_of`, to their ends: a lane goes idle after each point, hands it
// over and resumes exactly where it was.
void run_lane_group(const run_request& r, job_channel& ch, std::vector<section_lane>& lanes,
                    const std::vector<std::size_t>& slot_of) {
  const std::size_t n = r.y0.size();
  std::vector<bool> retired(lanes.size(), false);
  std::size_t running = lanes.size();
  while (running > 0) {
    advance_section_lanes(r.m, r.config, lanes, &ch.cancel);
    for (std::size_t i = 0; i < lanes.size(); ++i) {
      section_lane& lane = lanes[i];
      if (retired[i] || lane.phase != lane_phase::idle) {
        continue;
      }
      const bool more = lane.outcome.stop == section_stop::done && lane.s.count < r.config.n_points;
      if (!hand_over(ch, slot_of[i], lane.points, !more)) {
        return;
      }
      if (more) {
        lane.n_points = lane.s.count + 1;
        start_section_lane(r.m, r.config, lane);
        continue;
      }
      finish_classic(r, ch, slot_of[i], slot_of[i] % n, lane.outcome, lane.s);
      retired[i] = true;
      --running;
    }
  }
}

// Classic conditions in lanes, each confirmed like run_classic's and streamed point by point. A
// condition whose first step depends on its start also runs from its alternative start, in
// slot n + j, so that its confirmation finds one of the two whichever start is real.
void run_classic_lanes(const run_request& r, double h_start, job_channel& ch) {
  const std::size_t n = r.y0.size();
  std::vector<section_lane> lanes;
  std::vector<std::size_t> slot_of;
  const auto add_lane = [&](std::size_t slot, std::size_t j, double h) {
    publish_first_step(r, h, ch, slot, j);
    section_lane lane;
    lane.s.y = r.y0[j];
    lane.s.h = h;
    lane.n_points = 1;
    start_section_lane(r.m, r.config, lane);
    lanes.push_back(std::move(lane));
    slot_of.push_back(slot);
  };
  for (std::size_t j = 0; j < n; ++j) {
    add_lane(j, j, h_start);
  }
  for (std::size_t j = 0; j < n; ++j) {
    double h_alt = 0.0;
    if (alternative_start(r.m, r.config, r.y0[j], h_start, h_alt)) {
      add_lane(n + j, j, h_alt);
    } else {
      publish_no_alternative(ch, n + j);
    }
  }
  // Lanes past one batch (second starts of a full job) would take a narrow trial after every
  // batch and keep this job running well after the others: where the run has more than one
  // thread, they run on one of their own.
  if (lanes.size() <= trial_lanes || thread_count(r.threads) == 1) {
    run_lane_group(r, ch, lanes, slot_of);
    return;
  }
  std::vector<section_lane> rest(std::make_move_iterator(lanes.begin() + trial_lanes),
                                 std::make_move_iterator(lanes.end()));
  const std::vector<std::size_t> rest_slots(slot_of.begin() + trial_lanes, slot_of.end());
  lanes.resize(trial_lanes);
  slot_of.resize(trial_lanes);
  const std::jthread helper([&] { run_lane_group(r, ch, rest, rest_slots); });
  run_lane_group(r, ch, lanes, slot_of);
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
  // A classic job of several conditions has a second slot for each (run_classic_lanes).
  const bool alternatives = r.method == run_method::classic && count > 1;
  job.channel->slots.resize(static_cast<std::size_t>(alternatives ? 2 * count : count));
  job.use_alternative.assign(static_cast<std::size_t>(count), false);
  job.channel->spool_dir = r.spool_dir;
  // The run's settings; the conditions are the job's own.
  run_request own{.m = r.m,
                  .config = r.config,
                  .h0 = r.h0,
                  .method = r.method,
                  .chaos = r.chaos,
                  .rotation = r.rotation,
                  .threads = r.threads,
                  .y0 = {},
                  .condition_m = {},
                  .spool_dir = {}};
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

std::size_t slot_of(const condition_job& job, int index) {
  const auto offset = static_cast<std::size_t>(index - job.first);
  return job.use_alternative[offset] ? offset + static_cast<std::size_t>(job.count) : offset;
}
