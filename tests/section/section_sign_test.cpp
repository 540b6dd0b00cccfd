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

// The memo answers from its intervals exactly as section_sign does: walks of times around
// zeros of the section (both signs of omega, forward and backward), as the refinement takes.
// catches: an interval widened across a zero or across another multiple of pi
TEST(SectionSign, RememberedSignIsTheSignItself) {
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (const float omega : {1.0f, -1.0f, 2.5f}) {
    model_params m = model_with_L();
    m.omega = omega;
    const double margin = sign_margin(1e-7);
    for (int walk = 0; walk < 300; ++walk) {
      // A zero at 2 pi k / omega, approached from a time up to two section periods before it.
      const double zero = 2.0 * pi * static_cast<double>(walk % 50) / static_cast<double>(omega);
      const double t = zero - unit(gen) * 25.0;
      double h = (zero - t) * (0.5 + 2.0 * unit(gen));
      sign_memo memo;
      for (int retry = 0; retry < 2000; ++retry) {
        const double t_new = t + h;
        const int sign = remembered_section_sign(m, t_new, margin, memo);
        ASSERT_EQ(sign, section_sign(m, t_new, margin)) << "omega " << omega << " t " << t_new;
        h = (unit(gen) < 0.5 ? 0.5 : 1.5) * h;
        h = std::fmin(h, 30.0);
      }
    }
  }
}
