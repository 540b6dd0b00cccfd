// The lane trial against begin_step and trial_step, lane by lane and bit for bit, on every
// instruction set this processor has: ordinary, huge and non-finite states, both directions.
#include "section/lane_trial.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "model_fixture.hpp"

namespace {

// The bits of x, every NaN as one: which NaN operand an x86 operation passes on depends on the
// operand order the compiler picks for a commutative operation, in scalar code as in vector
// code. A NaN state stops the loop before it reaches any output, so only "NaN" matters.
std::uint64_t bits(double x) {
  return std::isnan(x) ? std::uint64_t{0x7ff8} << 48 : std::bit_cast<std::uint64_t>(x);
}

std::vector<trial_isa> supported() {
  std::vector<trial_isa> isas = {trial_isa::baseline};
  if (best_trial_isa() == trial_isa::avx2) {
    isas.push_back(trial_isa::avx2);
  }
  return isas;
}

// catches: an operation reordered or fused, a lane's result written to another lane or left out
// by a narrow vector, broadcast constants that differ from the kernels', rates of a lane taken
// from another lane's model, a stale start rate, NaN estimates not skipped
TEST(LaneTrial, EveryLaneHasTheBitsOfTheScalarTrial) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const trial_isa isa : supported()) {
    std::mt19937_64 gen(31);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 300; ++round) {
      std::array<trial_kernel, trial_lanes> lane_k;
      std::array<trial_kernel, trial_lanes> scalar_k;
      std::array<integration_state, trial_lanes> lane_s;
      std::array<trial_lane, trial_lanes> batch{};
      // Every other round all lanes share one model, whose constants are then broadcast.
      const bool one_model = round % 2 == 0;
      const model_params shared_m = model_with_L(static_cast<float>(0.25 + 2.0 * unit(gen)));
      const lane_rates shared = repeat_rates(derive_rate_constants(shared_m));
      for (int j = 0; j < trial_lanes; ++j) {
        scalar_k[j] = make_trial_kernel(
            one_model ? shared_m : model_with_L(static_cast<float>(0.25 + 2.0 * unit(gen))));
        lane_k[j] = scalar_k[j];
        integration_state& s = lane_s[j];
        const double r = unit(gen);
        s.t = -50.0 + 100.0 * unit(gen);
        s.y = {r < 0.05 ? nan : -1e3 + 2e3 * unit(gen), r > 0.95 ? 1e150 : -3.0 + 6.0 * unit(gen)};
        s.h = (unit(gen) < 0.3 ? -1.0 : 1.0) * std::pow(10.0, -8.0 + 8.0 * unit(gen));
        const bool begin = unit(gen) < 0.6;
        if (!begin) {
          // The rates at (t, y) are already in the kernel, as after an earlier trial.
          begin_step(scalar_k[j], s);
          begin_step(lane_k[j], s);
        }
        // The last lane with a trial varies, so that every vector width runs.
        if (j <= round % trial_lanes && unit(gen) < 0.85) {
          batch[j] = {&lane_k[j], &s, begin, 0.0};
        }
      }
      const std::array<integration_state, trial_lanes> before = lane_s;
      trial_step_lanes(batch, isa, one_model ? &shared : nullptr);
      for (int j = 0; j < trial_lanes; ++j) {
        SCOPED_TRACE("isa " + std::to_string(static_cast<int>(isa)) + " round " +
                     std::to_string(round) + " lane " + std::to_string(j));
        integration_state s = before[j];
        if (batch[j].s == nullptr) {
          EXPECT_EQ(bits(lane_s[j].t_new), bits(s.t_new));  // untouched
          continue;
        }
        if (batch[j].begin) {
          begin_step(scalar_k[j], s);
        }
        const double err = trial_step(scalar_k[j], s);
        EXPECT_EQ(bits(batch[j].err), bits(err));
        EXPECT_EQ(bits(lane_s[j].t_new), bits(s.t_new));
        EXPECT_EQ(bits(lane_s[j].y_new[0]), bits(s.y_new[0]));
        EXPECT_EQ(bits(lane_s[j].y_new[1]), bits(s.y_new[1]));
        EXPECT_EQ(bits(lane_k[j].start_rate[0]), bits(scalar_k[j].start_rate[0]));
        EXPECT_EQ(bits(lane_k[j].start_rate[1]), bits(scalar_k[j].start_rate[1]));
      }
    }
  }
}

}  // namespace
