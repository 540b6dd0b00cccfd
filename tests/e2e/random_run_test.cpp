// Whole runs of the built program on small random configurations, some with garbage: every
// run ends, either with status 0 and well-formed point lines, or with status 1 and one line
// on stderr. A signal, a hang (the timeout of run_dir) or any other status fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_dir.hpp"
#include "line_count.hpp"

namespace {

constexpr int runs = 250;

// std::mt19937 gives the same sequence everywhere; the draws below use only its raw output.
struct draw {
  std::mt19937 rng{20240611u};

  int below(int n) { return static_cast<int>(rng() % static_cast<std::uint32_t>(n)); }
  double uniform(double lo, double hi) {
    return lo + (hi - lo) * static_cast<double>(rng()) / 4294967296.0;
  }
  double log_uniform(double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); }
  double sign() { return below(2) == 0 ? 1.0 : -1.0; }
  template <typename T>
  T one_of(const std::vector<T>& choices) {
    return choices[static_cast<std::size_t>(below(static_cast<int>(choices.size())))];
  }
};

std::string number(double x) {
  char text[40];
  std::snprintf(text, sizeof text, "%.7g", x);
  return text;
}

// Magnitudes are drawn only where a run ends within a fraction of a second. Legal settings
// outside them run for many seconds before a guard stops them: tol between about 1e-26 and
// 1e-15, or |l| or |L| between about 100 and 1e10, shrink the step so far that a point takes
// millions of steps. eps between 1e-16 and about 1e-8 is resolvable, but the retries of a
// refinement grow like (step size)/eps: from seconds at 1e-10 up to the 2^30-retry budget at
// 1e-13. eps below 1e-16 is stopped at once as unresolvable.
std::string draw_h0(draw& d) {
  switch (d.below(10)) {
    case 0:
      return d.one_of<std::string>({"0", "-0.0", "1e-50"});
    case 1:
      return number(d.sign() * d.log_uniform(1e-38, 1e-10));
    case 2:
      return number(d.sign() * d.log_uniform(1e10, 3e38));
    default:
      return number(d.sign() * d.log_uniform(1e-3, 2.0));
  }
}

// A huge tol where l and L are both near zero (the state then barely moves) accepts steps many
// section periods long. The refinement of such a crossing is not proven unreachable and runs
// its whole 2^30-retry budget, about a minute; so a huge tol comes only with a moderate L.
std::string draw_tol(draw& d, bool huge_allowed) {
  switch (d.below(10)) {
    case 0:
      return d.one_of<std::string>({"0", "-1e-9", "1e-50"});
    case 1:
      return number(d.log_uniform(1e-44, 1e-30));
    case 2:
      if (huge_allowed) {
        return number(d.log_uniform(1e10, 3e38));
      }
      [[fallthrough]];
    default:
      return number(d.log_uniform(1e-10, 1e-2));
  }
}

std::string draw_eps(draw& d) {
  switch (d.below(10)) {
    case 0:
      return d.one_of<std::string>({"0", "-1e-6", "1e-50"});
    case 1:
      return number(d.log_uniform(1e-44, 1e-17));
    case 2:
      return number(d.log_uniform(1.0, 3e38));
    default:
      return number(d.log_uniform(1e-7, 0.5));
  }
}

// Momentum-like values: L and l0 share these ranges.
std::string draw_l(draw& d) {
  switch (d.below(10)) {
    case 0:
      return d.one_of<std::string>({"0", "-0.0"});
    case 1:
      return number(d.sign() * d.log_uniform(1e-44, 1e-3));
    case 2:
      return number(d.sign() * d.log_uniform(1e12, 3e38));
    default:
      return number(d.sign() * d.uniform(0.05, 5.0));
  }
}

std::string draw_phi(draw& d) {
  return d.below(6) == 0 ? number(d.sign() * d.log_uniform(1e3, 3e38))
                         : number(d.uniform(-20.0, 20.0));
}

std::string draw_name(draw& d, int i) {
  if (d.below(10) != 0) {
    return "./RESULT/c" + std::to_string(i) + ".txt";
  }
  return d.one_of<std::string>({"no/such/dir/c.txt", "RESULT", "ini.txt", "./RESULT/lL.txt"});
}

struct random_config {
  std::string text;
  int n_conditions = 0;
  int n_points = 0;
};

random_config draw_config(draw& d) {
  random_config c;
  c.n_conditions = d.below(8) == 0 ? -d.below(3) : d.below(4);
  c.n_points = d.below(8) == 0 ? -d.below(3) : 1 + d.below(5);
  const std::string L = draw_l(d);
  const bool moderate_L = std::fabs(std::strtod(L.c_str(), nullptr)) >= 0.05;
  std::vector<std::string> tokens = {"trivella",
                                     "random",
                                     "run",
                                     std::to_string(c.n_conditions),
                                     std::to_string(c.n_points),
                                     draw_h0(d),
                                     draw_tol(d, moderate_L),
                                     draw_eps(d),
                                     "reference",
                                     "L",
                                     L};
  for (int i = 1; i <= c.n_conditions; ++i) {
    for (const std::string& token :
         {std::string("start"), std::to_string(i), std::to_string(d.below(100)), draw_phi(d),
          draw_l(d), draw_name(d, i)}) {
      tokens.push_back(token);
    }
  }
  // Garbage: a token replaced, or the text cut short; any of them may land where it is fatal
  // or where it is harmless (a label word, a block after the last one).
  switch (d.below(6)) {
    case 0:
      tokens[static_cast<std::size_t>(d.below(static_cast<int>(tokens.size())))] =
          d.one_of<std::string>({"x", "1e39", "nan", "-inf", "3.5", "0x1p-3", std::string(600, 'w'),
                                 std::string("1\x01", 2)});
      break;
    case 1:
      tokens.resize(static_cast<std::size_t>(d.below(static_cast<int>(tokens.size()))));
      break;
    default:
      break;
  }
  for (const std::string& token : tokens) {
    c.text += token + (d.below(4) == 0 ? "\n" : d.below(2) == 0 ? " " : "\t ");
  }
  return c;
}

// A point line is "%15.10f %15.10f" of two numbers, the first an angle in [0, 2*pi]: printing
// the numbers it holds again must give the same line. Where |l/L| < 999 it is 31 characters.
std::string line_problem(const std::string& line) {
  char* end = nullptr;
  const double phi = std::strtod(line.c_str(), &end);
  const double ratio = std::strtod(end, &end);
  if (*end != '\0') {
    return "not two numbers";
  }
  char again[400];
  std::snprintf(again, sizeof again, "%15.10f %15.10f", phi, ratio);
  if (line != again) {
    return "not in the point format";
  }
  if (!(0.0 <= phi && phi <= 6.2831853072)) {
    return "angle out of range";
  }
  if (std::fabs(ratio) < 999.0 && line.size() != 31U) {
    return "not 31 characters";
  }
  return "";
}

// Warnings about likely slips (a file name that is a number, blocks left over) come first.
std::string without_warnings(const std::string& err) {
  std::string rest = err;
  const std::string prefix = "trivella: warning: ";
  while (rest.rfind(prefix, 0) == 0) {
    rest.erase(0, rest.find('\n') + 1);
  }
  return rest;
}

TEST(RandomRuns, EveryRunEndsWithPointsOrOneErrorLine) {
  const std::string banner = "I'm program complex \"Trivella\".\nI'm working, please wait...\n";
  draw d;
  int succeeded = 0;
  for (int k = 0; k < runs; ++k) {
    const random_config c = draw_config(d);
    SCOPED_TRACE("run " + std::to_string(k) + ", ini.txt:\n" + c.text);
    run_dir dir;
    dir.write("ini.txt", c.text);
    program_result r = dir.run();
    ASSERT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status << "\n" << r.err;
    r.err = without_warnings(r.err);
    EXPECT_EQ(r.out.rfind(banner, 0), 0U) << r.out;
    const std::string points = dir.read("RESULT/lL.txt");
    const int expected = std::max(c.n_conditions, 0) * std::max(c.n_points, 0);
    if (r.status == 0) {
      ++succeeded;
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(line_count(points), expected);
    } else {
      EXPECT_EQ(r.err.rfind("trivella: ", 0), 0U) << r.err;
      EXPECT_EQ(line_count(r.err), 1) << r.err;
      EXPECT_EQ(r.err.back(), '\n');
      EXPECT_LE(line_count(points), expected);
    }
    EXPECT_TRUE(points.empty() || points.back() == '\n');
    std::istringstream lines(points);
    std::string line;
    while (std::getline(lines, line)) {
      EXPECT_EQ(line_problem(line), "") << line;
    }
  }
  // The draw must exercise both endings, or half of the checks above never run.
  EXPECT_GE(succeeded, runs / 5);
  EXPECT_LE(succeeded, runs - runs / 5);
}

}  // namespace
