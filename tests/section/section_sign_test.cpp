// The sign of the section value found without the sine: never wrong, and it also settles
// |section value| > eps whenever it answers.
#include "section/section_sign.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "dynamics/constants.hpp"
#include "model_fixture.hpp"

namespace {

void expect_sound(const model_params& m, double t, double eps) {
  const int sign = section_sign(m, t, sign_margin(eps));
  if (sign == 0) {
    return;
  }
  const double value = section_value(m, t, {});
  ASSERT_EQ(sign, value > 0.0 ? 1 : -1) << t;
  ASSERT_GT(std::fabs(value), eps) << t;
}

TEST(SectionSign, AgreesWithTheSineEverywhereItAnswers) {
  const model_params m = model_with_L();
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> time(-2.5e6, 2.5e6);
  std::uniform_real_distribution<double> offset(-1e-5, 1e-5);
  std::uniform_int_distribution<long long> zero(-400000, 400000);
  for (double eps : {1e-12, 1e-7, 1e-3, 0.3}) {
    for (int i = 0; i < 100000; ++i) {
      expect_sound(m, time(gen), eps);
      // Close to a zero of sin(t / 2), where t is a multiple of 2 pi.
      expect_sound(m, 2.0 * pi * static_cast<double>(zero(gen)) + offset(gen), eps);
    }
  }
}

TEST(SectionSign, AnswersAwayFromZerosAndDefersNearThem) {
  const model_params m = model_with_L();
  const double margin = sign_margin(1e-7);
  EXPECT_EQ(section_sign(m, pi, margin), 1);
  EXPECT_EQ(section_sign(m, 3.0 * pi, margin), -1);
  EXPECT_EQ(section_sign(m, -pi, margin), -1);
  EXPECT_EQ(section_sign(m, 2.0 * pi, margin), 0);
  EXPECT_EQ(section_sign(m, 2.0 * pi + 1e-7, margin), 0);
  EXPECT_EQ(section_sign(m, 0.0, margin), 0);
  // Beyond the reach of its reduction it always defers to the sine.
  EXPECT_EQ(section_sign(m, 5e6 + 1.0, margin), 0);
}

}  // namespace
