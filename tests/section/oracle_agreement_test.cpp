// Whole conditions against the literal oracle: random initial states, tolerances and step
// sizes, coarse and fine, one at a time and chained with the step size carried over.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "model_fixture.hpp"
#include "oracle/literal_oracle.hpp"
#include "section/point_capture.hpp"
#include "section/section_map.hpp"

namespace {

struct random_case {
  float L;
  double h0;
  double tol;
  double eps;
  int n_points;
  std::vector<double> initial;  // phi, l pairs
};

// Every configuration number passes through single precision, as read from ini.txt.
double single(double x) { return static_cast<double>(static_cast<float>(x)); }

random_case draw_case(std::mt19937_64& gen, int n_conditions) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  random_case c;
  c.L = static_cast<float>(0.25 + 2.0 * unit(gen));
  c.h0 = single(std::pow(10.0, -3.0 + 3.5 * unit(gen)) * (unit(gen) < 0.1 ? -1.0 : 1.0));
  c.tol = single(std::pow(10.0, -11.0 + 9.0 * unit(gen)));
  c.eps = single(std::pow(10.0, -6.0 + 5.0 * unit(gen)));
  c.n_points = 1 + static_cast<int>(8 * unit(gen));
  for (int i = 0; i < n_conditions; ++i) {
    c.initial.push_back(single(-10.0 + 20.0 * unit(gen)));
    c.initial.push_back(single(-2.5 + 5.0 * unit(gen)) * static_cast<double>(c.L));
  }
  return c;
}

// The point lines at the default 10 decimals and at 17, which show differences the default
// format rounds away (a step size carried wrongly between conditions moves points by 1e-12).
struct program_text {
  std::string default_digits;
  std::string digits_17;
};

program_text run_program_loop(const random_case& c, integration_state& s) {
  const model_params m = model_with_L(c.L);
  run_config config;
  config.n_points = c.n_points;
  config.tol = c.tol;
  config.eps = c.eps;
  s.h = c.h0;
  point_capture out;
  for (std::size_t i = 0; i < c.initial.size() / 2; ++i) {
    s.y = {c.initial[2 * i], c.initial[2 * i + 1]};
    s.t = 0.0;
    s.count = 0;
    const section_outcome o = run_section_map(m, config, s, out.points);
    EXPECT_EQ(o.stop, section_stop::done) << describe(o, c.eps);
  }
  return {out.text(), out.text(17)};
}

void expect_agreement(const random_case& c, int seed) {
  integration_state s;
  const program_text program = run_program_loop(c, s);
  const int n = static_cast<int>(c.initial.size() / 2);
  const std::string literal = oracle::run(c.L, c.h0, c.tol, c.eps, c.n_points, c.initial.data(), n);
  ASSERT_EQ(program.default_digits, literal)
      << "seed " << seed << " h0 " << c.h0 << " tol " << c.tol << " eps " << c.eps;
  const std::string literal_17 =
      oracle::run(c.L, c.h0, c.tol, c.eps, c.n_points, c.initial.data(), n, 17);
  ASSERT_EQ(program.digits_17, literal_17) << "seed " << seed << " at 17 decimals";
}

TEST(OracleAgreement, SingleConditionsMatchBitForBit) {
  std::mt19937_64 gen(2024);
  for (int i = 0; i < 150; ++i) {
    expect_agreement(draw_case(gen, 1), i);
  }
}

TEST(OracleAgreement, ChainedConditionsCarryTheStepSize) {
  std::mt19937_64 gen(77);
  for (int i = 0; i < 40; ++i) {
    expect_agreement(draw_case(gen, 4), i);
  }
}

TEST(OracleAgreement, FinalStateMatchesTheOracle) {
  std::mt19937_64 gen(9);
  for (int i = 0; i < 40; ++i) {
    const random_case c = draw_case(gen, 1);
    integration_state s;
    run_program_loop(c, s);
    oracle::state o;
    o.h = c.h0;
    o.y[0] = c.initial[0];
    o.y[1] = c.initial[1];
    oracle::section_map(c.L, c.tol, c.eps, c.n_points, o);
    EXPECT_EQ(s.t, o.t) << i;
    EXPECT_EQ(s.h, o.h) << i;
    EXPECT_EQ(s.y[0], o.y[0]) << i;
    EXPECT_EQ(s.y[1], o.y[1]) << i;
  }
}

}  // namespace
