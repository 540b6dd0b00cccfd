// The portable elementary functions against quadruple-precision references (libquadmath) on
// many arguments: their largest error in units in the last place stays within the bound each
// promises, and their special values are the C library's.
#include "dynamics/portable_math.hpp"

#include <gtest/gtest.h>
#include <quadmath.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iostream>
#include <limits>
#include <random>

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr int samples = 200000;

// |got - ref| in units of the last place of ref rounded to double (the subnormal unit below).
double ulp_error(double got, __float128 ref) {
  const double r = static_cast<double>(ref);
  int e = 0;
  std::frexp(r, &e);
  const __float128 unit = std::ldexp(1.0, std::max(e - 53, -1074));
  return static_cast<double>(fabsq(static_cast<__float128>(got) - ref) / unit);
}

// A positive double with random significand and a binary exponent drawn in [lo, hi].
double random_positive(std::mt19937_64& g, int lo, int hi) {
  std::uniform_int_distribution<int> exponent(lo, hi);
  const double m = 1.0 + static_cast<double>(g() >> 12) * 0x1p-52;
  return std::ldexp(m, exponent(g));
}

// The largest error over the arguments drawn by `draw`, reported for the record.
double max_error(const char* name, const std::function<double(std::mt19937_64&, double&)>& draw) {
  std::mt19937_64 g(20261207);
  double worst = 0.0;
  for (int i = 0; i < samples; ++i) {
    double got = 0.0;
    const double e = draw(g, got);
    EXPECT_FALSE(std::isnan(e)) << name << " sample " << i;
    worst = std::max(worst, e);
  }
  std::cout << name << ": largest error " << worst << " ulp over " << samples << " arguments\n";
  return worst;
}

TEST(PortableMath, LogWithinOneUlpOverTheWholeRange) {
  const double worst = max_error("log", [](std::mt19937_64& g, double& got) {
    // Every binade, subnormals included, and arguments close to 1 where ln x is small.
    const double x = g() % 4 == 0 ? 1.0 + (static_cast<double>(g() >> 11) * 0x1p-53 - 0.5) *
                                              std::ldexp(1.0, -static_cast<int>(g() % 50))
                                  : random_positive(g, -1074, 1023);
    got = portable_log(x);
    return ulp_error(got, logq(static_cast<__float128>(x)));
  });
  EXPECT_LE(worst, 1.0);
  EXPECT_EQ(portable_log(1.0), 0.0);
  EXPECT_EQ(portable_log(0.0), -inf);
  EXPECT_EQ(portable_log(-0.0), -inf);
  EXPECT_EQ(portable_log(inf), inf);
  EXPECT_TRUE(std::isnan(portable_log(-1e-300)));
  EXPECT_TRUE(std::isnan(portable_log(std::numeric_limits<double>::quiet_NaN())));
}

TEST(PortableMath, ExpWithinOneUlpOverTheNormalRange) {
  const double worst = max_error("exp", [](std::mt19937_64& g, double& got) {
    const double x = g() % 2 == 0 ? (static_cast<double>(g() >> 11) * 0x1p-53) * 1416.0 - 708.0
                                  : (g() % 2 == 0 ? 1.0 : -1.0) * random_positive(g, -60, -1);
    got = portable_exp(x);
    return ulp_error(got, expq(static_cast<__float128>(x)));
  });
  EXPECT_LE(worst, 1.0);
  EXPECT_EQ(portable_exp(0.0), 1.0);
  EXPECT_EQ(portable_exp(710.0), inf);
  EXPECT_EQ(portable_exp(-746.0), 0.0);
  EXPECT_EQ(portable_exp(-inf), 0.0);
  EXPECT_GT(portable_exp(-740.0), 0.0);  // subnormal, not flushed
  EXPECT_TRUE(std::isnan(portable_exp(std::numeric_limits<double>::quiet_NaN())));
}

TEST(PortableMath, HypotWithinOneUlpWithoutOverflowOrUnderflow) {
  const double worst = max_error("hypot", [](std::mt19937_64& g, double& got) {
    // Components of any magnitude, often of similar size where both count.
    const int e = static_cast<int>(g() % 2000) - 1000;
    const double x = random_positive(g, e - 3, e + 3) * (g() % 2 == 0 ? 1.0 : -1.0);
    const double y = g() % 4 == 0 ? random_positive(g, -1074, 1023)
                                  : random_positive(g, e - 30, e) * (g() % 2 == 0 ? 1.0 : -1.0);
    got = portable_hypot(x, y);
    return ulp_error(got, hypotq(static_cast<__float128>(x), static_cast<__float128>(y)));
  });
  EXPECT_LE(worst, 1.0);
  EXPECT_EQ(portable_hypot(3.0, -4.0), 5.0);
  EXPECT_EQ(portable_hypot(0.0, -0.0), 0.0);
  EXPECT_EQ(portable_hypot(-inf, std::numeric_limits<double>::quiet_NaN()), inf);
  EXPECT_TRUE(std::isnan(portable_hypot(1.0, std::numeric_limits<double>::quiet_NaN())));
  EXPECT_EQ(portable_hypot(0x1p1023, 0x1p1023), 0x1.6a09e667f3bcdp1023);
  EXPECT_EQ(portable_hypot(0x1p-1074, 0.0), 0x1p-1074);
}

}  // namespace

TEST(PortableMath, Atan2WithinOneUlpInEveryQuadrant) {
  const double worst = max_error("atan2", [](std::mt19937_64& g, double& got) {
    // Coordinates of similar size (every reduction interval of y / x), far apart (the
    // quotient beyond 2^60 either way), or of any size at all.
    const int e = static_cast<int>(g() % 2000) - 1000;
    const int spread = g() % 4 == 0 ? 70 : 3;
    const double x = random_positive(g, e - spread, e + spread) * (g() % 2 == 0 ? 1.0 : -1.0);
    const double y = (g() % 8 == 0 ? random_positive(g, -1074, 1023)
                                   : random_positive(g, e - spread, e + spread)) *
                     (g() % 2 == 0 ? 1.0 : -1.0);
    got = portable_atan2(y, x);
    return ulp_error(got, atan2q(static_cast<__float128>(y), static_cast<__float128>(x)));
  });
  EXPECT_LE(worst, 1.0);
}

TEST(PortableMath, Atan2SpecialValuesAreTheCLibrarys) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double values[] = {0.0, -0.0, 1.0, -1.0, 0x1p-1074, -3e300, inf, -inf};
  for (const double y : values) {
    for (const double x : values) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(portable_atan2(y, x)),
                std::bit_cast<std::uint64_t>(std::atan2(y, x)))
          << "atan2(" << y << ", " << x << ")";
    }
  }
  EXPECT_TRUE(std::isnan(portable_atan2(nan, 1.0)));
  EXPECT_TRUE(std::isnan(portable_atan2(1.0, nan)));
}
