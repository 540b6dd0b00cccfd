// The lane sine and cosine stay within a few units in the last place of the C library over
// the arguments the method meets (that lanes give the scalar bits is checked on whole runs).
#include "precise/lane_math.hpp"

#include <gtest/gtest.h>

#include <cmath>

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

}  // namespace
