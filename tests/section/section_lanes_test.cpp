// Conditions in lanes against run_section_map and the literal oracle, bit for bit: random
// settings, both directions, lanes of different lengths, lanes that stop early on a guard while
// the others go on, and lanes resumed point by point as the engine drives them.
#include "section/section_lanes.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "model_fixture.hpp"
#include "oracle/literal_oracle.hpp"
#include "section/point_capture.hpp"
#include "section/section_map.hpp"

namespace {

struct lane_start {
  double phi = 0.0;
  double l = 0.0;
  double h = 0.0;
  int n_points = 0;
};

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

std::string lines(const point_list& points) {
  point_capture out;
  out.points = points;
  return out.text();
}

section_lane make_lane(const lane_start& start) {
  section_lane lane;
  lane.s.y = {start.phi, start.l};
  lane.s.h = start.h;
  lane.n_points = start.n_points;
  return lane;
}

// The lane's state, points and outcome equal those run_section_map leaves from the same start;
// a lane that finished also equals the literal oracle.
void expect_scalar_result(const model_params& m, const run_config& config, const lane_start& start,
                          const section_lane& lane, const std::string& where) {
  run_config own = config;
  own.n_points = start.n_points;
  integration_state s = make_lane(start).s;
  point_list points;
  const section_outcome o = run_section_map(m, own, s, points);
  EXPECT_EQ(lane.outcome.stop, o.stop) << where;
  EXPECT_EQ(bits(lane.outcome.t), bits(o.t)) << where;
  EXPECT_EQ(bits(lane.outcome.h), bits(o.h)) << where;
  EXPECT_EQ(bits(lane.outcome.detail), bits(o.detail)) << where;
  for (const auto& [a, b] : {std::pair{lane.s.t, s.t}, std::pair{lane.s.h, s.h},
                             std::pair{lane.s.y[0], s.y[0]}, std::pair{lane.s.y[1], s.y[1]}}) {
    EXPECT_EQ(bits(a), bits(b)) << where;
  }
  EXPECT_EQ(lane.s.count, s.count) << where;
  EXPECT_EQ(lines(lane.points), lines(points)) << where;
  if (o.stop == section_stop::done) {
    oracle::state lit;
    lit.h = start.h;
    lit.y[0] = start.phi;
    lit.y[1] = start.l;
    EXPECT_EQ(lines(lane.points),
              oracle::section_map(m.L, config.tol, config.eps, start.n_points, lit))
        << where;
    EXPECT_EQ(bits(lane.s.h), bits(lit.h)) << where;
  }
}

double single(double x) { return static_cast<double>(static_cast<float>(x)); }

TEST(SectionLanes, RandomConditionsMatchTheScalarLoop) {
  std::mt19937_64 gen(4242);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 60; ++i) {
    const model_params m = model_with_L(static_cast<float>(0.25 + 2.0 * unit(gen)));
    run_config config;
    config.tol = single(std::pow(10.0, -11.0 + 9.0 * unit(gen)));
    config.eps = single(std::pow(10.0, -6.0 + 5.0 * unit(gen)));
    const double direction = unit(gen) < 0.2 ? -1.0 : 1.0;
    const int n = 1 + static_cast<int>(section_lanes_max * unit(gen));
    std::vector<lane_start> starts;
    std::vector<section_lane> lanes;
    for (int j = 0; j < n; ++j) {
      // Some lanes want no point or one: they go idle while the others go on.
      const double r = unit(gen);
      const int n_points = r < 0.1 ? 0 : r < 0.25 ? 1 : 2 + static_cast<int>(7 * unit(gen));
      starts.push_back({single(-10.0 + 20.0 * unit(gen)),
                        single(-2.5 + 5.0 * unit(gen)) * static_cast<double>(m.L),
                        direction * single(std::pow(10.0, -3.0 + 3.5 * unit(gen))), n_points});
      lanes.push_back(make_lane(starts.back()));
    }
    run_section_lanes(m, config, lanes);
    for (int j = 0; j < n; ++j) {
      expect_scalar_result(m, config, starts[j], lanes[j],
                           "case " + std::to_string(i) + " lane " + std::to_string(j));
    }
  }
}

// catches: a guard that stops one lane stopping, skipping or disturbing its neighbours
TEST(SectionLanes, GuardStopsOneLaneAndTheOthersGoOn) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const model_params m = model_with_L(1.0f);
  for (const double eps : {1e-7, 1e-30}) {
    run_config config;
    config.tol = 1e-9;
    config.eps = eps;
    // Not a number, a step size of zero, a momentum that collapses the step, no point wanted.
    const std::vector<lane_start> starts = {
        {0.5, 0.5, 0.1, 4},  {nan, 0.5, 0.1, 4},  {1.0, 0.2, 0.1, 6},  {0.5, 3e38, 0.1, 3},
        {2.0, -0.7, 0.0, 3}, {0.3, 1.1, 0.05, 5}, {0.5, 0.5, -0.1, 2}, {4.0, 0.9, 1e-3, 0},
    };
    std::vector<section_lane> lanes;
    for (const lane_start& start : starts) {
      lanes.push_back(make_lane(start));
    }
    run_section_lanes(m, config, lanes);
    for (std::size_t j = 0; j < lanes.size(); ++j) {
      expect_scalar_result(m, config, starts[j], lanes[j], "lane " + std::to_string(j));
    }
  }
}

// catches: state lost between calls when a lane idles at a point and resumes, as the engine
// resumes each lane after every point it hands over
TEST(SectionLanes, ResumedPointByPointEqualsOneRun) {
  std::mt19937_64 gen(99);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const model_params m = model_with_L(1.0f);
  run_config config;
  config.tol = 1e-9;
  config.eps = 1e-7;
  std::vector<lane_start> starts;
  std::vector<section_lane> lanes;
  for (int j = 0; j < trial_lanes; ++j) {
    starts.push_back({single(6.0 * unit(gen)), single(-1.5 + 3.0 * unit(gen)), 0.1, 3 + 2 * j});
    lane_start first = starts.back();
    first.n_points = 1;
    lanes.push_back(make_lane(first));
    start_section_lane(m, config, lanes.back());
  }
  int idle = 0;
  while (idle < trial_lanes) {
    advance_section_lanes(m, config, lanes);
    idle = 0;
    for (int j = 0; j < trial_lanes; ++j) {
      section_lane& lane = lanes[static_cast<std::size_t>(j)];
      if (lane.phase != lane_phase::idle) {
        continue;
      }
      if (lane.outcome.stop == section_stop::done && lane.s.count < starts[j].n_points) {
        lane.n_points = lane.s.count + 1;
        start_section_lane(m, config, lane);
      } else {
        ++idle;
      }
    }
  }
  for (int j = 0; j < trial_lanes; ++j) {
    expect_scalar_result(m, config, starts[j], lanes[static_cast<std::size_t>(j)],
                         "lane " + std::to_string(j));
  }
}

TEST(SectionLanes, CancelStopsEveryRunningLane) {
  const model_params m = model_with_L(1.0f);
  run_config config;
  config.tol = 1e-9;
  config.eps = 1e-7;
  std::vector<section_lane> lanes = {make_lane({0.5, 0.5, 0.1, 3}), make_lane({1.0, 0.2, 0.1, 0})};
  const std::atomic<bool> cancel{true};
  run_section_lanes(m, config, lanes, &cancel);
  EXPECT_EQ(lanes[0].outcome.stop, section_stop::cancelled);
  EXPECT_TRUE(lanes[0].points.empty());
  // A lane with nothing to do finishes before any trial.
  EXPECT_EQ(lanes[1].outcome.stop, section_stop::done);
  EXPECT_EQ(describe(lanes[0].outcome, config.eps), "stopped on request");
}

}  // namespace
