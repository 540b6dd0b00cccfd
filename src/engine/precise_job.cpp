// The precise worker: the conditions of a job advance together in SIMD lanes, one section
// point at a time, each with its own model.
#include "engine/precise_job.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "chaos/chaos_accumulator.hpp"
#include "dynamics/constants.hpp"
#include "precise/precise_advance.hpp"
#include "precise/precise_lanes.hpp"
#include "precise/precise_outcome.hpp"
#include "precise/taylor_series.hpp"

namespace {

// Points gathered before one hand-over: a lock and wake-up per point would cost more than the
// point.
constexpr std::size_t precise_batch = 256;

precise_config precise_config_for(const run_request& r, const job_channel& ch) {
  precise_config c;
  c.tol = r.config.tol;
  c.direction = 0.0 < r.h0 ? 1 : -1;
  c.tangent = r.chaos;
  c.cancel = &ch.cancel;
  return c;
}

// The model of the job's condition i: its own where the constants vary between conditions.
const model_params& model_of(const run_request& r, std::size_t i) {
  return r.condition_m.empty() ? r.m : r.condition_m[i];
}

// A lane of a precise job: one condition, its series constants, its state, its indicator and
// its points not yet handed over.
struct precise_lane {
  std::size_t slot = 0;
  series_constants constants;
  precise_state state;
  chaos_accumulator chaos;
  std::vector<lifted_point> orbit;  // with run_request::rotation
  point_list batch;
};

}  // namespace

void run_precise_job(const run_request& r, job_channel& ch) {
  const precise_config c = precise_config_for(r, ch);
  std::vector<precise_lane> lanes(r.y0.size());
  for (std::size_t i = 0; i < lanes.size(); ++i) {
    const model_params& m = model_of(r, i);
    lanes[i].slot = i;
    lanes[i].constants = make_series_constants(m, c);
    lanes[i].state = precise_start(m, c, r.y0[i]);
  }
  // Lanes of one Taylor order share blocks: kept side by side, they need no regrouping at each
  // point.
  std::stable_sort(lanes.begin(), lanes.end(), [](const precise_lane& a, const precise_lane& b) {
    return a.constants.order < b.constants.order;
  });
  std::vector<series_constants> constants;
  std::vector<precise_state> states;
  std::vector<precise_stop> stops;
  for (int k = 0; k < r.config.n_points && !lanes.empty(); ++k) {
    constants.clear();
    states.clear();
    for (const precise_lane& lane : lanes) {
      constants.push_back(lane.constants);
      states.push_back(lane.state);
    }
    stops.assign(states.size(), precise_stop::done);
    precise_advance_lanes(constants, c, states, stops);
    std::vector<precise_lane> going;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
      precise_lane& lane = lanes[i];
      const model_params& m = model_of(r, lane.slot);
      lane.state = states[i];
      const bool stopped = stops[i] != precise_stop::done;
      if (!stopped) {
        lane.batch.push_back(precise_point(lane.state, m.L));
        if (c.tangent) {
          chaos_record_point(lane.chaos, lane.state.tangent);
        }
        if (r.rotation) {
          lane.orbit.push_back({lane.state.phi, lane.state.turns, lane.state.l});
        }
      }
      const bool last = stopped || k + 1 == r.config.n_points;
      if ((last || lane.batch.size() >= precise_batch) &&
          !hand_over(ch, lane.slot, lane.batch, last)) {
        return;
      }
      if (stopped) {
        finish(ch, lane.slot, describe_precise_stop(stops[i], lane.state, m));
      } else if (last) {
        // The map's period: two periods of the condition's forcing.
        const double period = four_pi / static_cast<double>(m.omega);
        finish(ch, lane.slot, "", c.tangent ? chaos_finish(lane.chaos, period) : chaos_summary{},
               r.rotation ? rotation_of(lane.orbit) : rotation_summary{});
      } else {
        going.push_back(std::move(lane));
      }
    }
    lanes = std::move(going);
  }
}
