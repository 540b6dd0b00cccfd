// Canaries for the build: the arithmetic the program relies on is the plain IEEE kind.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

TEST(FloatArithmetic, MultiplyAddIsRoundedTwice) {
  // catches: fused multiply-add contraction enabled for the build
  volatile double a = 1.0 + 0x1p-30;
  volatile double b = 1.0 - 0x1p-30;
  volatile double c = -1.0;
  const double product_then_sum = a * b + c;
  EXPECT_EQ(product_then_sum, 0.0);  // a*b = 1 - 2^-60 rounds to 1.0 before the sum
}

TEST(FloatArithmetic, SinAndCosOfOneAngleMatchSeparateCalls) {
  // The compiler may merge sin(x) and cos(x) into one sincos call; its results must be the
  // same bits as the separate calls, or the points would depend on the optimisation level.
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> angle(-1e3, 1e3);
  for (int i = 0; i < 100000; ++i) {
    volatile double x = angle(gen);
    double s = 0.0;
    double c = 0.0;
    ::sincos(x, &s, &c);
    volatile double x2 = x;
    ASSERT_EQ(s, std::sin(x2)) << x;
    ASSERT_EQ(c, std::cos(x2)) << x;
  }
}

}  // namespace
