// End-to-end runs of --grid: an integrable plane, cells against the same conditions run alone,
// a plane of constants against planes of conditions, interrupt and --resume, bad arguments.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/run_dir.hpp"
#include "line_count.hpp"

namespace {

std::string ini_with(const std::string& phi0, const std::string& l0, int n_points = 400) {
  return "trivella grid map\n1 " + std::to_string(n_points) +
         " 0.1 1e-12 1e-6\nreference L\n5.0\nc 1 1 " + phi0 + " " + l0 + " RESULT/c1.txt\n";
}

const std::string seed_ini = ini_with("0.1", "0.7");

std::vector<std::vector<std::string>> data_rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream words(line);
    rows.emplace_back();
    for (std::string w; words >> w;) {
      rows.back().push_back(w);
    }
  }
  return rows;
}

// The chaos.txt columns megno lyapunov periods verdict of a one-condition run, then the
// rotation.txt columns rotation kind digits.
std::vector<std::string> alone(const std::string& phi0, const std::string& l0,
                               const std::string& params) {
  run_dir dir;
  dir.write("ini.txt", ini_with(phi0, l0));
  const program_result r = dir.run("-q --precise --chaos --rotation " + params);
  EXPECT_EQ(r.status, 0) << r.err;
  const auto chaos = data_rows(dir.read("RESULT/chaos.txt"));
  const auto rotation = data_rows(dir.read("RESULT/rotation.txt"));
  if (chaos.size() != 1 || chaos[0].size() != 7 || rotation.size() != 1 ||
      rotation[0].size() != 8) {
    return {};
  }
  std::vector<std::string> columns(chaos[0].begin() + 3, chaos[0].end());
  columns.insert(columns.end(), rotation[0].begin() + 3, rotation[0].begin() + 6);
  return columns;
}

// Each listed cell (row index into the data lines) equals its condition run alone, in every
// column the map has; `constant`, when not empty, is the constant on the y axis, the x axis
// being phi0 from the seed l0.
void expect_cells_as_alone(const std::string& grid, const std::vector<std::size_t>& cells,
                           const std::string& constant) {
  const auto rows = data_rows(grid);
  for (const std::size_t k : cells) {
    ASSERT_LT(k, rows.size());
    const std::vector<std::string>& w = rows[k];
    std::vector<std::string> expected =
        constant.empty() ? alone(w[0], w[1], "")
                         : alone(w[0], "0.7", "--param " + constant + "=" + w[1]);
    expected.resize(std::min(expected.size(), w.size() - 2));
    EXPECT_EQ(std::vector<std::string>(w.begin() + 2, w.end()), expected) << "cell " << k;
  }
}

TEST(GridProgram, IntegrableCellsAreAllRegular) {
  run_dir dir;
  dir.write("ini.txt", seed_ini);
  const program_result r =
      dir.run("-q --precise --chaos --param e=0 --grid phi0=0.5:5.5:6 --grid l0=1.5:5:4");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto rows = data_rows(dir.read("RESULT/grid.txt"));
  ASSERT_EQ(rows.size(), 24u);
  for (const auto& w : rows) {
    ASSERT_EQ(w.size(), 6u);
    EXPECT_GE(std::atoi(w[4].c_str()), 300);
    EXPECT_EQ(w[5], "regular") << w[0] << " " << w[1];
  }
  EXPECT_FALSE(dir.exists("RESULT/lL.txt"));
  EXPECT_TRUE(dir.exists("RESULT/run_info.txt"));
  // A later run of another kind leaves no map beside its points.
  ASSERT_EQ(dir.run("-q --precise").status, 0);
  EXPECT_FALSE(dir.exists("RESULT/grid.txt"));
}

// catches: cells started from other values than the printed ones, or lanes that differ
TEST(GridProgram, ConditionCellsEqualTheirConditionRunAlone) {
  run_dir dir;
  dir.write("ini.txt", seed_ini);
  ASSERT_EQ(dir.run("-q --precise --chaos --grid phi0=0:6.2831853:5 --grid l0=-2:3:4").status, 0);
  expect_cells_as_alone(dir.read("RESULT/grid.txt"), {0, 6, 13, 19}, "");
}

// catches: the cells' constants not reaching the engine; rotation numbers measured by the
// lanes otherwise than by a run of the condition alone
TEST(GridProgram, ConstantCellsEqualTheirConditionRunAlone) {
  run_dir dir;
  dir.write("ini.txt", seed_ini);
  ASSERT_EQ(dir.run("-q --precise --chaos --rotation --grid phi0=0:3:3 --grid e=0:0.9:4").status,
            0);
  expect_cells_as_alone(dir.read("RESULT/grid.txt"), {1, 5, 9, 11}, "e");
}

// catches: a constant plane's rows built otherwise than a plane of conditions with --param
TEST(GridProgram, ConstantRowEqualsConditionLineWithThatConstant) {
  run_dir plane;
  plane.write("ini.txt", seed_ini);
  ASSERT_EQ(plane.run("-q --precise --chaos --grid phi0=0:6:7 --grid e=0.1:0.7:3").status, 0);
  const auto rows = data_rows(plane.read("RESULT/grid.txt"));
  ASSERT_EQ(rows.size(), 21u);
  EXPECT_NE(plane.read("RESULT/grid.txt").find("# seed phi0 0.100000001 l0 0.699999988\n"),
            std::string::npos);
  run_dir line;
  line.write("ini.txt", seed_ini);
  ASSERT_EQ(
      line.run("-q --precise --chaos --param e=0.7 --grid phi0=0:6:7 --grid l0=0.7:0.7:1").status,
      0);
  const auto expected = data_rows(line.read("RESULT/grid.txt"));
  ASSERT_EQ(expected.size(), 7u);
  for (std::size_t i = 0; i < 7; ++i) {
    std::vector<std::string> row = rows[14 + i];
    std::vector<std::string> want = expected[i];
    EXPECT_EQ(row[1], "0.699999988");
    row.erase(row.begin() + 1);
    want.erase(want.begin() + 1);
    EXPECT_EQ(row, want) << "x cell " << i;
  }
}

// catches: a partial line kept, cells computed twice or skipped, a resume over another map
TEST(GridProgram, InterruptThenResumeGivesTheUninterruptedFile) {
  const std::vector<std::string> map = {"-q",     "--precise",   "--chaos", "--rotation",
                                        "--grid", "phi0=0:6:12", "--grid",  "l0=-3:3:12"};
  run_dir whole;
  whole.write("ini.txt", ini_with("0.1", "0.7", 1000));
  ASSERT_EQ(whole.finish(whole.start(map)).status, 0);
  const std::string full = whole.read("RESULT/grid.txt");
  ASSERT_EQ(line_count(full), 6 + 144);

  run_dir dir;
  dir.write("ini.txt", ini_with("0.1", "0.7", 1000));
  const int pid = dir.start(map);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (line_count(dir.read("RESULT/grid.txt")) < 10 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(pid, SIGINT);
  const program_result stopped = dir.finish(pid);
  ASSERT_EQ(stopped.status, 130) << stopped.err;
  const std::string part = dir.read("RESULT/grid.txt");
  ASSERT_LT(part.size(), full.size());
  EXPECT_EQ(part.back(), '\n');
  EXPECT_EQ(full.compare(0, part.size(), part), 0);
  // A crash would leave a partial line: --resume drops it.
  dir.write("RESULT/grid.txt", part + full.substr(part.size(), 5));

  std::vector<std::string> other = map;
  other.back() = "l0=-3:3:11";
  other.push_back("--resume");
  const program_result refused = dir.finish(dir.start(other));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("header"), std::string::npos) << refused.err;
  EXPECT_EQ(dir.read("RESULT/grid.txt"), part + full.substr(part.size(), 5));

  std::vector<std::string> resume = map;
  resume.push_back("--resume");
  const program_result resumed = dir.finish(dir.start(resume));
  ASSERT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_EQ(dir.read("RESULT/grid.txt"), full);
}

// catches: a failed cell reported as a verdict, ending the map, or the run called a success
TEST(GridProgram, FailedCellsAreMarkedAndTheMapGoesOn) {
  run_dir dir;
  dir.write("ini.txt", seed_ini);
  dir.write("RESULT/lL.txt", "old\n");
  dir.write("RESULT/chaos.txt", "old\n");
  const program_result r = dir.run("-q --precise --chaos --grid phi0=0:1:2 --grid l0=0:1e20:3");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("warning: 4 of 6 cells failed"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("cell 3 (phi0 0, l0 5.0000001e+19): the step size"), std::string::npos);
  const auto rows = data_rows(dir.read("RESULT/grid.txt"));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_NE(rows[1][5], "failed");
  for (std::size_t k = 2; k < 6; ++k) {
    EXPECT_EQ(rows[k],
              (std::vector<std::string>{rows[k][0], rows[k][1], "nan", "nan", "0", "failed"}));
  }
  EXPECT_FALSE(dir.exists("RESULT/lL.txt"));
  EXPECT_FALSE(dir.exists("RESULT/chaos.txt"));
}

TEST(GridProgram, BadGridArgumentsTouchNothing) {
  const std::string ok = " --grid phi0=0:1:2 --grid l0=0:1:2";
  std::vector<std::string> bad = {
      "--grid x0=0:1:2 --grid l0=0:1:2",
      "--grid phi0=0:1 --grid l0=0:1:2",
      "--grid phi0=0:1:2:3 --grid l0=0:1:2",
      "--grid phi0=0:z:2 --grid l0=0:1:2",
      "--grid=phi0=0:inf:2 --grid=l0=0:1:2",
      "--grid phi0=0:1:0 --grid l0=0:1:2",
      "--grid phi0=0:1:1000 --grid l0=0:1:1001",
      "--grid phi0=1:1:2 --grid l0=0:1:2",
      "--grid phi0=0:1:2",
      "--grid phi0=0:1:2 --grid l0=0:1:2 --grid e=0:1:2",
      "--grid phi0=0:1:2 --grid phi0=0:1:2",
      "--grid phi0=0:1:2 --grid",
      "--grid a=-1:1:3 --grid phi0=0:1:2",
      "--grid b=-9:0:4 --grid c=0:9:4",
      "--grid e=0:1:2 --grid phi0=0:1:2 --param e=0.1",
      "--periodic 2" + ok,
      "--resume",
  };
  for (std::string& args : bad) {
    args = "--precise --chaos " + args;
  }
  bad.push_back(ok);
  bad.push_back("--precise" + ok);
  run_dir dir;
  dir.write("ini.txt", seed_ini);
  dir.write("RESULT/grid.txt", "kept\n");
  dir.write("RESULT/lL.txt", "kept\n");
  for (const std::string& args : bad) {
    const program_result r = dir.run(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err.rfind("trivella: ", 0), 0u) << args;
  }
  EXPECT_EQ(dir.read("RESULT/grid.txt"), "kept\n");
  EXPECT_EQ(dir.read("RESULT/lL.txt"), "kept\n");
  EXPECT_FALSE(dir.exists("RESULT/run_info.txt"));
}

}  // namespace
