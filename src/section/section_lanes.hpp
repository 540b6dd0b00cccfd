// Up to sixteen conditions through the section-map loop at once. Each lane keeps its own t, y, h,
// count and place in the loop; only the trial steps run together, in vector lanes.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "dynamics/integration_state.hpp"
#include "dynamics/model.hpp"
#include "dynamics/rk4_step.hpp"
#include "dynamics/run_config.hpp"
#include "section/lane_trial.hpp"
#include "section/section_map.hpp"
#include "section/section_outcome.hpp"

// Where a lane stands in the loop of run_section_map: idle, about to start a step, or waiting
// for the trial that opens a step, halves h or doubles it.
// Lanes one call advances: two batches of trials.
constexpr int section_lanes_max = 2 * trial_lanes;

enum class lane_phase { idle, step_start, first_trial, halving, doubling };

struct section_lane {
  integration_state s;      // t, y, h and count, as run_section_map keeps them
  int n_points = 0;         // the lane goes idle once s.count reaches this
  point_list points;        // its section points, appended
  section_outcome outcome;  // once idle: done, or why it stopped early
  // The loop's own state, kept between calls.
  lane_phase phase = lane_phase::idle;
  trial_kernel k;
  std::uint64_t steps = 0;  // accepted steps since the last point
  int sign_prev = 0;
};

// Readies a lane to run from its s as run_section_map does on entry. Call it after setting s
// and n_points, and, after raising n_points, to resume a lane that went idle with done.
void start_section_lane(const model_params& m, const run_config& config, section_lane& lane);

// Runs the lanes that are not idle (at most section_lanes_max of them) until at least one goes
// idle: it reached its n_points, or stopped early. An idle lane's s, points and outcome are those
// run_section_map(m, config with its n_points, s, points) gives; config's n_points is not read.
// `cancel`, read once per trial step, stops every running lane with section_stop::cancelled.
void advance_section_lanes(const model_params& m, const run_config& config,
                           std::span<section_lane> lanes,
                           const std::atomic<bool>* cancel = nullptr);

// Starts every lane (at most section_lanes_max) and runs them all until each is idle.
void run_section_lanes(const model_params& m, const run_config& config,
                       std::span<section_lane> lanes, const std::atomic<bool>* cancel = nullptr);
