// sin and cos computed in lanes against the C library's own calls, bit for bit, in the form the
// process picks for each instruction set; also run under qemu as a Nehalem (the library's
// build without FMA) and as a Haswell (its FMA build).
#pragma GCC diagnostic ignored "-Wpsabi"  // vectors returned by always-inlined functions

#include "section/libc_sine_lanes.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "section/lane_trial.hpp"
#include "section/libc_sine_form.hpp"
#include "section/libc_sine_table.hpp"

namespace {

using f64 = libc_sine::lanes<4>::f64;
using i64 = libc_sine::lanes<4>::i64;

struct lane_values {
  f64 sin_sincos, cos_sincos, sin;
  i64 outside_sincos, outside_sin;
};

template <bool fused>
[[gnu::always_inline]] inline void body(const f64& x, lane_values& v) {
  const double* table = libc_sine_table();
  libc_sine::sincos_lanes<4, fused>(table, x, v.sin_sincos, v.cos_sincos, v.outside_sincos);
  libc_sine::sin_lanes<4, fused>(table, x, v.sin, v.outside_sin);
}

void separate_baseline(const f64& x, lane_values& v) { body<false>(x, v); }
[[gnu::target("avx2")]] void separate_avx2(const f64& x, lane_values& v) { body<false>(x, v); }
[[gnu::target("avx2,fma")]] void fused_avx2(const f64& x, lane_values& v) { body<true>(x, v); }

// Every range of the library's method, its borders, multiples of pi/4 and k/128, the
// magnitudes angles and times reach, and what the lanes leave to the library.
std::vector<double> inputs() {
  std::vector<double> x = {0.0,
                           -0.0,
                           5e-324,
                           -1e-310,
                           1e-20,
                           0.126,
                           -0.126,
                           std::nextafter(0.126, 0.0),
                           105414350.0,
                           3e8,
                           std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()};
  for (const std::uint32_t high :
       {0x3e400000u, 0x3e500000u, 0x3feb6000u, 0x400368fdu, 0x419921FBu}) {
    for (const std::uint64_t bits : {std::uint64_t{high} << 32, (std::uint64_t{high} << 32) - 1}) {
      x.push_back(std::bit_cast<double>(bits));
      x.push_back(-std::bit_cast<double>(bits));
    }
  }
  for (int k = -400; k <= 400; ++k) {
    x.push_back(k * 0.78539816339744828);
    x.push_back(std::nextafter(k * 1.5707963267948966, 0.0));
    x.push_back((k + 0.5) / 128.0);
  }
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> exponent(-12.0, 8.5);
  while (x.size() < 200000) {
    x.push_back((gen() % 2 ? -1.0 : 1.0) * std::pow(10.0, exponent(gen)));
  }
  return x;
}

bool same(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Lanes the library's steps cover match it; the others are exactly those left to it.
int mismatches(void (*lanes)(const f64&, lane_values&), const std::vector<double>& x) {
  int bad = 0;
  for (std::size_t i = 0; i + 4 <= x.size(); i += 4) {
    f64 v;
    std::memcpy(&v, &x[i], sizeof v);
    lane_values out;
    lanes(v, out);
    for (int j = 0; j < 4; ++j) {
      const double xj = x[i + static_cast<std::size_t>(j)];
      // From 2^26 * pi/2 (high word 0x419921FB) the library reduces otherwise.
      const bool left = ((std::bit_cast<std::uint64_t>(xj) >> 32) & 0x7fffffff) >= 0x419921FB;
      EXPECT_EQ(out.outside_sincos[j] != 0, left) << xj;
      EXPECT_EQ(out.outside_sin[j] != 0, left) << xj;
      double s = 0.0;
      double c = 0.0;
      ::sincos(xj, &s, &c);
      if (!left && (!same(out.sin_sincos[j], s) || !same(out.cos_sincos[j], c) ||
                    !same(out.sin[j], ::sin(xj)))) {
        ++bad;
      }
    }
  }
  return bad;
}

// catches: a step of the library's method left out, reordered or fused where its build does not
// fuse, a wrong table row, a range border moved, a form chosen that the library does not use,
// the table not found (every trial would call the library again)
TEST(LibcSineLanes, TheFormPickedForEachInstructionSetIsTheLibrarysToTheBit) {
  ASSERT_NE(libc_sine_table(), nullptr);
  const std::vector<double> x = inputs();
  const libc_sine_form baseline = libc_sine_form_for(false);
  if (baseline == libc_sine_form::separate) {
    EXPECT_EQ(mismatches(separate_baseline, x), 0);
  }
  if (best_trial_isa() == trial_isa::avx2) {
    const libc_sine_form avx2 = libc_sine_form_for(true);
    ASSERT_NE(avx2, libc_sine_form::library_calls);
    EXPECT_EQ(mismatches(avx2 == libc_sine_form::fused ? fused_avx2 : separate_avx2, x), 0);
    // The two forms differ, so picking the right one matters.
    if (avx2 == libc_sine_form::fused) {
      EXPECT_GT(mismatches(separate_avx2, x), 0);
    }
  } else {
    EXPECT_EQ(baseline, libc_sine_form::separate);
  }
}

}  // namespace
