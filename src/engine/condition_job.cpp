// Workers of the engine: each computes its conditions point by point and hands the points over
// through its channel, waiting whenever it holds job_point_cap points not yet taken.
#include "engine/condition_job.hpp"

#include <chrono>
#include <thread>
#include <utility>

#include "chaos/chaos_accumulator.hpp"
#include "dynamics/constants.hpp"
#include "dynamics/integration_state.hpp"
#include "precise/precise_advance.hpp"
#include "precise/precise_lanes.hpp"
#include "precise/precise_outcome.hpp"
#include "section/section_outcome.hpp"
#include "section/speculative_run.hpp"
#include "section/stop_cause.hpp"

namespace {

// The precise method hands points over in batches: one lock and wake-up per point would cost
// more than the point.
constexpr std::size_t precise_batch = 256;
constexpr int max_lanes = 8;

std::size_t held_points(const job_channel& ch) {
  std::size_t held = 0;
  for (const condition_slot& slot : ch.slots) {
    held += slot.points.size();
  }
  return held;
}

// Hands over the points of slot `index`; false when the job is cancelled.
bool hand_over(job_channel& ch, std::size_t index, point_list& batch) {
  std::unique_lock lock(ch.mutex);
  point_list& held = ch.slots[index].points;
  held.insert(held.end(), batch.begin(), batch.end());
  batch.clear();
  ch.changed.notify_all();
  // Also in turn: a slow point file must not let the points pile up.
  ch.changed.wait(lock, [&] { return held_points(ch) < job_point_cap || ch.cancel.load(); });
  return !ch.cancel.load();
}

void finish(job_channel& ch, std::size_t index, std::string failure,
            const chaos_summary& chaos = {}) {
  const std::lock_guard lock(ch.mutex);
  condition_slot& slot = ch.slots[index];
  slot.failure = std::move(failure);
  slot.chaos = chaos;
  slot.finished = true;
  ch.changed.notify_all();
}

// One classic condition, one point at a time so that the points stream out as they come: a
// loop that stops right after a point resumes exactly where a longer one would have gone on.
void run_classic(const run_request& r, double h_start, job_channel& ch) {
  const std::array<double, 2>& y0 = r.y0.front();
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
  finish(ch, 0,
         outcome.stop == section_stop::done ? "" : describe_stop(outcome, r.m, r.config, y0, s.y));
}

precise_config precise_config_for(const run_request& r) {
  precise_config c;
  c.tol = r.config.tol;
  c.direction = 0.0 < r.h0 ? 1 : -1;
  c.tangent = r.chaos;
  return c;
}

// A lane of a precise job: one condition, its state, its indicator and its points not yet
// handed over.
struct precise_lane {
  std::size_t slot = 0;
  precise_state state;
  chaos_accumulator chaos;
  point_list batch;
};

// The precise method: conditions are independent, so the job's conditions advance together,
// one section point at a time, in SIMD lanes; a lane that stops leaves the others going.
void run_precise(const run_request& r, job_channel& ch) {
  const precise_config c = precise_config_for(r);
  // The map's period: two periods of the forcing.
  const double period = four_pi / static_cast<double>(r.m.omega);
  std::vector<precise_lane> lanes(r.y0.size());
  for (std::size_t i = 0; i < lanes.size(); ++i) {
    lanes[i].slot = i;
    lanes[i].state = precise_start(r.m, c, r.y0[i]);
  }
  std::vector<precise_state> states;
  std::vector<precise_stop> stops;
  for (int k = 0; k < r.config.n_points && !lanes.empty(); ++k) {
    states.clear();
    for (const precise_lane& lane : lanes) {
      states.push_back(lane.state);
    }
    stops.assign(states.size(), precise_stop::done);
    precise_advance_lanes(r.m, c, states, stops);
    std::vector<precise_lane> going;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
      precise_lane& lane = lanes[i];
      lane.state = states[i];
      const bool stopped = stops[i] != precise_stop::done;
      if (!stopped) {
        lane.batch.push_back(precise_point(lane.state, r.m.L));
        if (c.tangent) {
          chaos_record_point(lane.chaos, lane.state.tangent);
        }
      }
      const bool last = stopped || k + 1 == r.config.n_points;
      if ((last || lane.batch.size() >= precise_batch) && !hand_over(ch, lane.slot, lane.batch)) {
        return;
      }
      if (stopped) {
        finish(ch, lane.slot, describe_precise_stop(stops[i], lane.state));
      } else if (last) {
        finish(ch, lane.slot, "", c.tangent ? chaos_finish(lane.chaos, period) : chaos_summary{});
      } else {
        going.push_back(std::move(lane));
      }
    }
    lanes = std::move(going);
  }
}

void run_job(const run_request& r, double h_start, job_channel& ch) {
  if (r.method == run_method::precise) {
    run_precise(r, ch);
  } else {
    run_classic(r, h_start, ch);
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
  run_request own{r.m, r.config, r.h0, r.method, r.chaos, r.threads, {}};
  const auto begin = r.y0.begin() + first;
  own.y0.assign(begin, begin + count);
  // The worker owns copies of everything it reads: after a stop the engine returns at once
  // instead of waiting for the point the worker is computing.
  std::thread([request = std::move(own), h_start, channel = job.channel] {
    run_job(request, h_start, *channel);
  }).detach();
  return job;
}

int precise_group_size(const run_request& r) {
  const auto points = static_cast<std::size_t>(std::max(1, r.config.n_points));
  int lanes = max_lanes;
  while (lanes > 1 && static_cast<std::size_t>(lanes) * points > job_point_cap) {
    lanes /= 2;
  }
  return lanes;
}
