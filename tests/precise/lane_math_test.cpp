// The lane sine and cosine: within a few units in the last place of the C library over the
// arguments the method meets, and the same bits in a vector lane as in a scalar.
#include "precise/lane_math.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace {

// Distance in units in the last place of the C library's value.
double ulps(double x, double expected) {
  const double ulp = std::ldexp(1.0, std::ilogb(expected) - 52);
  return std::fabs(x - expected) / ulp;
}

TEST(LaneSinCos, CloseToTheLibraryOverTwoTurnsEachWay) {
  double worst = 0.0;
  for (double x = -13.0; x <= 13.0; x += 3.7e-5) {
    volatile double arg = x;  // the library at run time, not folded at compile time
    double s = 0.0;
    double c = 0.0;
    sin_cos(static_cast<double>(arg), s, c);
    worst = std::fmax(worst, std::fmax(ulps(s, std::sin(arg)), ulps(c, std::cos(arg))));
  }
  EXPECT_LE(worst, 2.5);
  double s = 1.0;
  double c = 0.0;
  sin_cos(0.0, s, c);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(c, 1.0);
}

TEST(LaneSinCos, VectorLanesMatchTheScalarBitForBit) {
  for (double start = -13.0; start < 13.0; start += 0.61) {
    double x[8];
    for (int j = 0; j < 8; ++j) {
      x[j] = start + 0.0773 * j;
    }
    lanes<8> xv;
    lanes<8> sv;
    lanes<8> cv;
    load<8>(xv, x);
    sin_cos(xv, sv, cv);
    double s8[8];
    double c8[8];
    store<8>(s8, sv);
    store<8>(c8, cv);
    for (int j = 0; j < 8; ++j) {
      double s = 0.0;
      double c = 0.0;
      sin_cos(x[j], s, c);
      EXPECT_EQ(std::bit_cast<std::uint64_t>(s8[j]), std::bit_cast<std::uint64_t>(s)) << x[j];
      EXPECT_EQ(std::bit_cast<std::uint64_t>(c8[j]), std::bit_cast<std::uint64_t>(c)) << x[j];
    }
  }
}

}  // namespace
