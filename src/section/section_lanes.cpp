// The loop of run_section_map and accept_step turned inside out: each lane runs its own copy of
// that control flow up to the next trial it needs, then the trials of all lanes run together.
// The order of decisions, the comparisons and every guard are those of the scalar loop.
#include "section/section_lanes.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "section/refine_crossing.hpp"
#include "section/section_sign.hpp"

namespace {

void go_idle(section_lane& lane, section_stop why) {
  lane.outcome = {why, lane.s.t, lane.s.h, 0.0};
  lane.phase = lane_phase::idle;
}

// The end of an accepted step, as in run_section_map: the guard on steps without a point, the
// crossing test, refinement and the point. False when the lane went idle.
bool finish_step(const model_params& m, const run_config& config, double margin, section_lane& lane,
                 const std::atomic<bool>* cancel) {
  integration_state& s = lane.s;
  if (++lane.steps > max_steps_per_point) {
    go_idle(lane, section_stop::no_section_point);
    return false;
  }
  int sign_new = section_sign(m, s.t_new, margin);
  const bool crossing =
      lane.sign_prev != 0 && sign_new != 0
          ? 0 < lane.sign_prev && sign_new < 0
          : is_crossing(section_value(m, s.t, s.y), section_value(m, s.t_new, s.y_new));
  if (crossing) {
    const double s_prev = section_value(m, s.t, s.y);
    double s_new = section_value(m, s.t_new, s.y_new);
    const double h_saved = s.h;
    s.count = s.count + 1;
    // One scalar trial at most, once per point: the lane's kernel holds the rates at (t, y).
    const section_outcome refined =
        refine_crossing(lane.k, m, config.eps, s, s_prev, s_new, cancel);
    if (refined.stop != section_stop::done) {
      lane.outcome = refined;
      lane.phase = lane_phase::idle;
      return false;
    }
    sign_new = section_sign(m, s.t_new, margin);
    // The step size in force at detection serves the next step, not the refined one.
    s.h = h_saved;
    // The point is the state at the start of the crossing step, not the refined end.
    lane.points.push_back(to_section_point(s.y, m.L));
    lane.steps = 0;
  }
  s.y[0] = s.y_new[0];
  s.y[1] = s.y_new[1];
  s.t = s.t_new;
  lane.sign_prev = sign_new;
  return true;
}

// Takes the result `err` of the trial the lane waited for (none at step_start) and runs the
// lane's loop on until it needs the next trial (true; phase says which) or goes idle (false).
bool drive(const model_params& m, const run_config& config, double margin, section_lane& lane,
           double err, const std::atomic<bool>* cancel) {
  integration_state& s = lane.s;
  for (;;) {
    switch (lane.phase) {
      case lane_phase::idle:
        return false;
      case lane_phase::step_start:
        if (!(s.count < lane.n_points)) {
          lane.outcome = {};
          lane.phase = lane_phase::idle;
          return false;
        }
        // As accept_step: a non-finite state would read every error estimate as small.
        if (!std::isfinite(s.t) || !std::isfinite(s.y[0]) || !std::isfinite(s.y[1])) {
          go_idle(lane, section_stop::state_not_finite);
          return false;
        }
        lane.phase = lane_phase::first_trial;
        return true;
      case lane_phase::first_trial:
      case lane_phase::halving:
        // Strict: an error equal to tol is accepted, and a NaN error ends the halving.
        if (config.tol < err) {
          s.h = s.h / 2.0;
          if (std::fabs(s.h) < min_step / 2.0) {
            go_idle(lane, section_stop::step_collapsed);
            return false;
          }
          lane.phase = lane_phase::halving;
          return true;
        }
        [[fallthrough]];
      case lane_phase::doubling:
        // The trial that ends the growth is accepted without comparing its error with tol.
        if (err <= config.tol / 8.0) {
          s.h = s.h + s.h;
          if (!std::isfinite(s.h)) {
            go_idle(lane, section_stop::step_unbounded);
            return false;
          }
          if (s.h == 0.0) {
            go_idle(lane, section_stop::step_collapsed);
            return false;
          }
          lane.phase = lane_phase::doubling;
          return true;
        }
        if (std::fabs(s.h) < min_step) {
          go_idle(lane, section_stop::step_collapsed);
          return false;
        }
        if (s.t_new == s.t) {
          go_idle(lane, section_stop::time_stalled);
          return false;
        }
        if (!finish_step(m, config, margin, lane, cancel)) {
          return false;
        }
        lane.phase = lane_phase::step_start;
        break;
    }
  }
}

bool waiting(const section_lane& lane) {
  return lane.phase == lane_phase::first_trial || lane.phase == lane_phase::halving ||
         lane.phase == lane_phase::doubling;
}

}  // namespace

void start_section_lane(const model_params& m, const run_config& config, section_lane& lane) {
  lane.k = make_trial_kernel(m);
  lane.steps = 0;
  lane.sign_prev = section_sign(m, lane.s.t, sign_margin(config.eps));
  lane.outcome = {};
  lane.phase = lane_phase::step_start;
}

void advance_section_lanes(const model_params& m, const run_config& config,
                           std::span<section_lane> lanes, const std::atomic<bool>* cancel) {
  const double margin = sign_margin(config.eps);
  const std::size_t n = std::min(lanes.size(), std::size_t{section_lanes_max});
  bool went_idle = false;
  for (std::size_t j = 0; j < n; ++j) {
    if (lanes[j].phase == lane_phase::step_start &&
        !drive(m, config, margin, lanes[j], 0.0, cancel)) {
      went_idle = true;
    }
  }
  const trial_isa isa = best_trial_isa();
  // Every lane's kernel holds these, made from m by start_section_lane.
  const lane_rates shared = repeat_rates(derive_rate_constants(m));
  std::array<trial_lane, trial_lanes> batch{};
  // The lanes that wait for a trial, in order, eight to a batch; the last batch's lanes take
  // its first places, so that a batch of few runs on a narrow vector. A lane alone in a batch
  // still waits on the calls of the full batch before it, not on its own.
  std::array<std::size_t, section_lanes_max> waiting_lanes{};
  while (!went_idle) {
    std::size_t used = 0;
    for (std::size_t j = 0; j < n; ++j) {
      if (waiting(lanes[j])) {
        waiting_lanes[used] = j;
        ++used;
      }
    }
    if (used == 0) {
      return;
    }
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
      for (std::size_t j = 0; j < n; ++j) {
        if (waiting(lanes[j])) {
          go_idle(lanes[j], section_stop::cancelled);
        }
      }
      return;
    }
    for (std::size_t first = 0; first < used; first += trial_lanes) {
      const std::size_t size = std::min(used - first, std::size_t{trial_lanes});
      for (std::size_t i = 0; i < trial_lanes; ++i) {
        batch[i].s = nullptr;
        if (i < size) {
          section_lane& lane = lanes[waiting_lanes[first + i]];
          // Only the first trial of a step starts from a new (t, y).
          batch[i] = {&lane.k, &lane.s, lane.phase == lane_phase::first_trial, 0.0};
        }
      }
      trial_step_lanes(batch, isa, &shared);
      for (std::size_t i = 0; i < size; ++i) {
        if (!drive(m, config, margin, lanes[waiting_lanes[first + i]], batch[i].err, cancel)) {
          went_idle = true;
        }
      }
    }
  }
}

void run_section_lanes(const model_params& m, const run_config& config,
                       std::span<section_lane> lanes, const std::atomic<bool>* cancel) {
  lanes = lanes.first(std::min(lanes.size(), std::size_t{section_lanes_max}));
  for (section_lane& lane : lanes) {
    start_section_lane(m, config, lane);
  }
  for (;;) {
    bool running = false;
    for (const section_lane& lane : lanes) {
      running = running || lane.phase != lane_phase::idle;
    }
    if (!running) {
      return;
    }
    advance_section_lanes(m, config, lanes, cancel);
  }
}
