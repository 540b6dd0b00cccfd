// SIMD lanes give each condition the very bits of the scalar path, for every block width
// (8, 4, 2, 1), instruction set, direction and tangent setting, stopped lanes included; a
// cancel flag stops every lane before its next step.
#include "precise/precise_lanes.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "model_fixture.hpp"
#include "precise/precise_advance.hpp"
#include "supported_isas.hpp"

namespace {

void expect_same_bits(const precise_state& a, const precise_state& b, std::size_t lane) {
  const auto bits = [](double x) { return std::bit_cast<std::uint64_t>(x); };
  EXPECT_EQ(bits(a.phi), bits(b.phi)) << lane;
  EXPECT_EQ(bits(a.phi_lo), bits(b.phi_lo)) << lane;
  EXPECT_EQ(bits(a.l), bits(b.l)) << lane;
  EXPECT_EQ(bits(a.l_lo), bits(b.l_lo)) << lane;
  EXPECT_EQ(bits(a.tangent[0]), bits(b.tangent[0])) << lane;
  EXPECT_EQ(bits(a.tangent[1]), bits(b.tangent[1])) << lane;
  EXPECT_EQ(bits(a.tau), bits(b.tau)) << lane;
  EXPECT_EQ(bits(a.h), bits(b.h)) << lane;
  EXPECT_EQ(a.k, b.k) << lane;
  EXPECT_EQ(a.steps, b.steps) << lane;
}

// Regular and chaotic orbits, the invariant line l = L, phi just below 2 pi, and a NaN lane
// (index 2, inside the block of eight of 15 lanes) that must stop without disturbing its
// neighbours.
std::vector<std::array<double, 2>> starts(double L) {
  std::vector<std::array<double, 2>> y0;
  for (int i = 0; i < 13; ++i) {
    y0.push_back({0.57 * i, L * (-1.5 + 0.25 * i)});
  }
  y0.insert(y0.begin() + 2, {0.1, std::numeric_limits<double>::quiet_NaN()});
  y0.push_back({6.283185307179586, L});
  return y0;
}

TEST(PreciseLanes, BitIdenticalToScalarForEveryLaneCountAndIsa) {
  const model_params m = model_with_L(2.0f);
  for (lane_isa isa : supported_isas()) {
    for (int direction : {1, -1}) {
      for (bool tangent : {false, true}) {
        precise_config c;
        c.tol = 1e-11;
        c.direction = direction;
        c.tangent = tangent;
        // 15 lanes run as blocks of 8, 4, 2 and 1; 6 as 4 and 2; 1 alone.
        for (std::size_t n : {std::size_t{1}, std::size_t{6}, std::size_t{15}}) {
          const auto y0 = starts(2.0);
          std::vector<precise_state> lanes;
          std::vector<precise_state> scalar;
          for (std::size_t i = 0; i < n; ++i) {
            lanes.push_back(precise_start(m, c, y0[y0.size() - n + i]));
          }
          scalar = lanes;
          std::vector<precise_stop> stops(n);
          for (int point = 0; point < 12; ++point) {
            // The public entry point picks the widest instruction set itself.
            if (isa == best_lane_isa()) {
              precise_advance_lanes(m, c, lanes, stops);
            } else {
              precise_advance_lanes_on(isa, m, c, lanes, stops);
            }
            for (std::size_t j = 0; j < n; ++j) {
              const precise_stop expected = precise_advance(m, c, scalar[j]);
              EXPECT_EQ(stops[j], expected) << j;
              expect_same_bits(lanes[j], scalar[j], j);
            }
          }
          if (n == y0.size()) {
            EXPECT_EQ(stops[2], precise_stop::state_not_finite);
          }
        }
      }
    }
  }
}

// Lanes of different models in one block: each lane gets the bits of its condition run alone,
// for every instruction set, direction and tangent setting. `omega_min`..`omega_max` chooses
// whether the lanes share one Taylor order or fall into several.
void expect_mixed_lanes_match_alone(double omega_min, double omega_max, std::size_t n,
                                    std::set<int>& orders) {
  std::mt19937_64 g(20261207);
  for (lane_isa isa : supported_isas()) {
    for (int direction : {1, -1}) {
      for (bool tangent : {false, true}) {
        precise_config c;
        c.tol = 1e-10;
        c.direction = direction;
        c.tangent = tangent;
        const auto y0 = starts(2.0);
        std::vector<model_params> models;
        std::vector<series_constants> constants;
        std::vector<precise_state> lanes;
        for (std::size_t i = 0; i < n; ++i) {
          models.push_back(random_model(g, 2.0f, omega_min, omega_max));
          constants.push_back(make_series_constants(models.back(), c));
          orders.insert(constants.back().order);
          lanes.push_back(precise_start(models.back(), c, y0[(i + 3) % y0.size()]));
        }
        std::vector<precise_state> alone = lanes;
        std::vector<precise_stop> stops(n);
        for (int point = 0; point < 4; ++point) {
          precise_advance_lanes_on(isa, constants, c, lanes, stops);
          for (std::size_t j = 0; j < n; ++j) {
            EXPECT_EQ(stops[j], precise_advance(models[j], c, alone[j])) << j;
            expect_same_bits(lanes[j], alone[j], j);
          }
        }
      }
    }
  }
}

// catches: a block that computes with its first lane's constants, or with one order for all
// its lanes; constants taken per lane in one instruction set and not in another
TEST(PreciseLanes, LanesOfDifferentModelsEachGetTheirBitsAlone) {
  // |omega| near 1 keeps one order: 15 lanes of different constants fill blocks of 8, 4, 2, 1.
  std::set<int> orders;
  expect_mixed_lanes_match_alone(0.9, 1.1, 15, orders);
  EXPECT_EQ(orders.size(), 1u);
  // |omega| from 0.1 to 10 spreads the lanes over several orders, in blocks of each.
  orders.clear();
  expect_mixed_lanes_match_alone(0.1, 10.0, 23, orders);
  EXPECT_GE(orders.size(), 3u);
}

// catches: a cancel flag read only between points, or only by some block widths
TEST(PreciseLanes, CancelStopsEveryLaneBeforeItsNextStep) {
  const model_params m = model_with_L(2.0f);
  const std::atomic<bool> cancel{true};
  precise_config c;
  c.tol = 1e-11;
  c.cancel = &cancel;
  const auto y0 = starts(2.0);
  std::vector<precise_state> lanes;
  for (std::size_t i = 0; i < y0.size(); ++i) {
    if (i != 2) {  // the NaN lane stops as not finite before any step
      lanes.push_back(precise_start(m, c, y0[i]));
    }
  }
  std::vector<precise_stop> stops(lanes.size(), precise_stop::done);
  precise_advance_lanes(m, c, lanes, stops);
  for (std::size_t j = 0; j < lanes.size(); ++j) {
    EXPECT_EQ(stops[j], precise_stop::cancelled) << j;
    EXPECT_EQ(lanes[j].steps, 0) << j;
    EXPECT_EQ(lanes[j].k, 0) << j;
  }
  precise_state one = precise_start(m, c, y0[3]);
  EXPECT_EQ(precise_advance(m, c, one), precise_stop::cancelled);
  // The same lanes, not cancelled, go on normally.
  c.cancel = nullptr;
  precise_advance_lanes(m, c, lanes, stops);
  for (std::size_t j = 0; j < lanes.size(); ++j) {
    EXPECT_EQ(stops[j], precise_stop::done) << j;
    EXPECT_EQ(lanes[j].k, 1) << j;
  }
}

}  // namespace
