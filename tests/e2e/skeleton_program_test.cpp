// End-to-end runs of --periodic and --rotation: the files and their columns, the orbits'
// points in lL.txt, and bad values refused before any file is touched.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "dynamics/model_rules.hpp"
#include "e2e/run_dir.hpp"
#include "line_count.hpp"
#include "skeleton/rotation_number.hpp"

namespace {

const std::string ini =
    "trivella skeleton map\n4 600 -0.1 1e-12 1e-6\nreference L\n5.0\n"
    "c 1 1 1.5708 0.0 RESULT/c1.txt\n"
    "c 2 2 0.0 0.0 RESULT/c2.txt\n"
    "c 3 3 0.5 5.0 RESULT/c3.txt\n"
    "c 4 4 1.5 2.0 RESULT/c4.txt\n";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string w; in >> w;) {
    words.push_back(w);
  }
  return words;
}

std::string point_line(double phi, double l_over_L) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%15.10f %15.10f", phi, l_over_L);
  return buf;
}

TEST(SkeletonProgram, PeriodicWritesOneLinePerConditionAndTheOrbitsPoints) {
  run_dir dir;
  dir.write("ini.txt", ini);
  const program_result r = dir.run("--precise --periodic 5");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = lines_of(dir.read("RESULT/periodic.txt"));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1],
            "# condition q phi l residual iterations trace residue det mu1_re mu1_im mu2_re "
            "mu2_im kind");
  const std::vector<std::string> points = lines_of(dir.read("RESULT/lL.txt"));
  std::size_t next_point = 0;
  const char* kinds[] = {"elliptic", "hyperbolic", "not-converged", "elliptic"};
  const int periods[] = {1, 5, 0, 5};
  for (int i = 0; i < 4; ++i) {
    const std::vector<std::string> w = words_of(lines[static_cast<std::size_t>(i + 2)]);
    ASSERT_GE(w.size(), 14u);
    EXPECT_EQ(w[0], std::to_string(i + 1));
    EXPECT_EQ(w[1], std::to_string(periods[i]));
    EXPECT_EQ(w[13], kinds[i]) << lines[static_cast<std::size_t>(i + 2)];
    if (w[13] == "not-converged") {
      EXPECT_GT(w.size(), 14u);  // the reason follows
      continue;
    }
    EXPECT_EQ(w.size(), 14u);
    EXPECT_LE(std::strtod(w[4].c_str(), nullptr), 1e-11);
    EXPECT_NEAR(std::strtod(w[8].c_str(), nullptr), 1.0, 1e-10);
    // phi* and l* with 17 digits, and the orbit's first point in lL.txt is that point.
    EXPECT_EQ(w[2].find('e'), std::string::npos);
    const double phi = std::strtod(w[2].c_str(), nullptr);
    const double l = std::strtod(w[3].c_str(), nullptr);
    ASSERT_LT(next_point, points.size());
    EXPECT_EQ(points[next_point], point_line(phi, l / 5.0));
    next_point += static_cast<std::size_t>(periods[i]);
  }
  EXPECT_EQ(points.size(), next_point);
  EXPECT_TRUE(dir.exists("RESULT/c3.txt"));
  EXPECT_NE(dir.read("RESULT/run_info.txt").find("direction backward"), std::string::npos);
}

TEST(SkeletonProgram, RotationFileHasItsColumnsAndTheRunsOwnOrbits) {
  run_dir dir;
  dir.write("ini.txt", ini);
  const program_result r = dir.run("--precise --chaos --rotation --threads 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(line_count(dir.read("RESULT/chaos.txt")), 6);
  const std::vector<std::string> lines = lines_of(dir.read("RESULT/rotation.txt"));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "# condition phi0 l0 rotation kind digits points verdict");
  model_params m = default_model();
  m.L = 5.0f;
  precise_config c;
  c.tol = static_cast<double>(1e-12f);
  c.direction = -1;  // h0 < 0
  const std::array<double, 2> y0[] = {{1.5708, 0.0}, {0.0, 0.0}, {0.5, 5.0}, {1.5, 2.0}};
  const char* verdicts[] = {"regular", "chaotic", "regular", "regular"};
  for (int i = 0; i < 4; ++i) {
    const std::vector<std::string> w = words_of(lines[static_cast<std::size_t>(i + 2)]);
    ASSERT_EQ(w.size(), 8u);
    EXPECT_EQ(w[6], "600");
    EXPECT_EQ(w[7], verdicts[i]) << lines[static_cast<std::size_t>(i + 2)];
    // catches: the run's direction, tol or condition order not reaching the measurement
    const std::array<double, 2> y = {static_cast<double>(static_cast<float>(y0[i][0])),
                                     static_cast<double>(static_cast<float>(y0[i][1]))};
    const rotation_summary expected = measure_rotation(m, c, y, 600);
    EXPECT_EQ(std::strtod(w[3].c_str(), nullptr), expected.rotation);
  }
  // Backward, the island chain of period 5 turns 3/5 (2/5 forward).
  EXPECT_NEAR(std::strtod(words_of(lines[5])[3].c_str(), nullptr), 0.6, 1e-8);
}

TEST(SkeletonProgram, BadPeriodicValuesAreUsageErrorsThatTouchNoFile) {
  run_dir dir;
  dir.write("ini.txt", ini);
  dir.write("RESULT/lL.txt", "earlier\n");
  for (const char* bad :
       {"--precise --periodic 0", "--precise --periodic -3", "--precise --periodic 1001",
        "--precise --periodic x", "--precise --periodic=", "--precise --periodic 2.5",
        "--precise --periodic", "--periodic 3", "--rotation", "--precise --periodic 3 --chaos",
        "--precise --periodic 3 --rotation"}) {
    const program_result r = dir.run(bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_EQ(r.out, "") << bad;
    EXPECT_EQ(line_count(r.err), 2) << bad << ": " << r.err;
  }
  EXPECT_EQ(dir.read("RESULT/lL.txt"), "earlier\n");
  EXPECT_FALSE(dir.exists("RESULT/periodic.txt"));
  EXPECT_FALSE(dir.exists("RESULT/common_res.txt"));
  EXPECT_FALSE(dir.exists("RESULT/c1.txt"));
}

}  // namespace
