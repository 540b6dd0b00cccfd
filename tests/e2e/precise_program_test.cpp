// End-to-end runs of the precise method: the program writes, in condition order and on any
// number of threads, exactly the points of the precise integrator, with run_info.txt beside.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/run_dir.hpp"
#include "model_fixture.hpp"
#include "precise/precise_advance.hpp"
#include "section/section_map.hpp"

namespace {

double f(const char* text) { return static_cast<double>(std::strtof(text, nullptr)); }

// The file the program must write, from the integrator called directly.
std::string expected_points(const model_params& m, double tol, int direction, int n_points,
                            const std::vector<std::array<double, 2>>& y0, int digits) {
  std::string lines;
  for (const std::array<double, 2>& y : y0) {
    precise_config c;
    c.tol = tol;
    c.direction = direction;
    precise_state s = precise_start(m, c, y);
    for (int k = 0; k < n_points; ++k) {
      EXPECT_EQ(precise_advance(m, c, s), precise_stop::done);
      append_point_line(lines, precise_point(s, m.L), digits);
    }
  }
  return lines;
}

std::string ini_text(int n_points, const char* h0, const char* phi_l_pairs[][2], int n) {
  std::string text = "t s m\n" + std::to_string(n) + " " + std::to_string(n_points) + " " + h0 +
                     " 1e-10 1e-6\nreference L\n2.5\n";
  for (int i = 0; i < n; ++i) {
    text += "c " + std::to_string(i + 1) + " 0 " + phi_l_pairs[i][0] + " " + phi_l_pairs[i][1] +
            " RESULT/c" + std::to_string(i + 1) + ".txt\n";
  }
  return text;
}

TEST(PreciseProgram, PointsAreTheIntegratorsInOrderOnAnyNumberOfThreads) {
  const char* pairs[][2] = {{"0.3", "0.9"},  {"2.0", "-1.4"}, {"4.0", "2.4"}, {"1.0", "0.1"},
                            {"5.5", "-3.0"}, {"0.0", "2.5"},  {"3.1", "1.2"}, {"6.0", "-0.6"},
                            {"0.7", "4.0"},  {"2.2", "-2.2"}, {"1.6", "0.0"}};
  std::vector<std::array<double, 2>> y0;
  for (const auto& p : pairs) {
    y0.push_back({f(p[0]), f(p[1])});
  }
  const model_params m = model_with_L(2.5f);
  for (const char* h0 : {"0.1", "-0.1"}) {
    const int direction = h0[0] == '-' ? -1 : 1;
    run_dir dir;
    dir.write("ini.txt", ini_text(40, h0, pairs, 11));
    for (const char* options : {"--precise", "--precise --threads 1", "--precise --threads 3"}) {
      const program_result r = dir.run(options);
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(dir.read("RESULT/lL.txt"),
                expected_points(m, f("1e-10"), direction, 40, y0, default_digits))
          << options << " h0 " << h0;
    }
    EXPECT_NE(dir.read("RESULT/run_info.txt").find("method precise"), std::string::npos);
    ASSERT_EQ(dir.run("--precise --digits 17").status, 0);
    EXPECT_EQ(dir.read("RESULT/lL.txt"), expected_points(m, f("1e-10"), direction, 40, y0, 17));
  }
}

TEST(PreciseProgram, ClassicRunWritesNoRunInfo) {
  // catches: the classic run's file set changed by the precise method's extra file
  run_dir dir;
  const char* pairs[][2] = {{"0.3", "0.9"}};
  dir.write("ini.txt", ini_text(3, "0.1", pairs, 1));
  ASSERT_EQ(dir.run("--precise").status, 0);
  ASSERT_EQ(dir.run().status, 0);
  // The classic run removes the precise run's file: it would describe points no longer there.
  EXPECT_FALSE(dir.exists("RESULT/run_info.txt"));
  ASSERT_EQ(dir.run().status, 0);
  EXPECT_FALSE(dir.exists("RESULT/run_info.txt"));
}

}  // namespace

// Without forcing the system is autonomous: H = A(phi) (l^2 - L^2) / 2 is the same at every
// point the program writes, by either method. Catches --param not reaching the equations.
std::vector<double> energies(const std::string& points, double b) {
  std::vector<double> values;
  for (std::size_t at = 0; at < points.size();) {
    char* end = nullptr;
    const double phi = std::strtod(points.c_str() + at, &end);
    const double l = std::strtod(end, &end);
    const double A = 1.0 / 6.0 - std::cos(phi) * std::cos(phi) / (b + 8.0) -
                     std::sin(phi) * std::sin(phi) / (b + 15.0);
    values.push_back(A * (l * l - 1.0));
    at = static_cast<std::size_t>(end - points.c_str()) + 1;
  }
  return values;
}

double largest_change(const std::vector<double>& e, std::size_t per_condition) {
  double largest = 0.0;
  for (std::size_t i = 1; i < e.size(); ++i) {
    if (i % per_condition != 0) {
      largest = std::max(largest, std::fabs(e[i] - e[i - 1]));
    }
  }
  return largest;
}

TEST(ModelParams, UnforcedRunsKeepTheEnergyOnEveryPoint) {
  const char* pairs[][2] = {{"0.3", "0.9"}, {"2.0", "-1.4"}};
  run_dir dir;
  dir.write("ini.txt", ini_text(30, "0.1", pairs, 2));
  for (const char* options : {"--param e=0", "--precise --param=e=0 --param b=4.5"}) {
    ASSERT_EQ(dir.run(std::string(options) + " --digits 15").status, 0) << options;
    const double b = std::string(options).find("b=4.5") == std::string::npos ? 5.0 : 4.5;
    const std::vector<double> e = energies(dir.read("RESULT/lL.txt"), b);
    ASSERT_EQ(e.size(), 60U);
    EXPECT_LT(largest_change(e, 30), 1e-6) << options;
  }
  // The forced system does not keep it, so the check above can fail.
  ASSERT_EQ(dir.run("--digits 15").status, 0);
  EXPECT_GT(largest_change(energies(dir.read("RESULT/lL.txt"), 5.0), 30), 1e-3);
}

TEST(ModelParams, DefaultValuesGiveTheDefaultBytes) {
  const char* pairs[][2] = {{"0.3", "0.9"}};
  run_dir dir;
  dir.write("ini.txt", ini_text(5, "0.1", pairs, 1));
  ASSERT_EQ(dir.run().status, 0);
  const std::string plain = dir.read("RESULT/lL.txt");
  ASSERT_EQ(dir.run("--param a=6 --param b=5 --param c=8 --param d=15 --param e=0.4 "
                    "--param omega=1")
                .status,
            0);
  EXPECT_EQ(dir.read("RESULT/lL.txt"), plain);
}
