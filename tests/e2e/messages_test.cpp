// Messages that name the real cause: the constant, the missing title word, the directory to
// create, the reason a write failed; the version; verdicts withheld when the run is too short.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e/run_dir.hpp"

namespace {

namespace fs = std::filesystem;

std::string ini(int n_conditions, int n_points, const std::string& title = "trivella section map") {
  std::string text = title + "\n" + std::to_string(n_conditions) + " " + std::to_string(n_points) +
                     " 0.1 1e-3 1e-2\nref L\n1\n";
  for (int i = 1; i <= std::max(n_conditions, 1); ++i) {
    text += "cond x " + std::to_string(i) + " 0." + std::to_string(i) + " 0.5 ./RESULT/c" +
            std::to_string(i) + ".txt\n";
  }
  return text;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// catches: a constant that makes the classic step collapse blamed on tol, or found only after
// minutes; a missing title word reported as a bad n_points; `mkdir RESULT` suggested for
// another directory; a full disk under run_info.txt reported without its reason
TEST(Messages, TheCauseIsNamed) {
  run_dir dir;
  dir.write("ini.txt", ini(2, 5));
  dir.write("RESULT/lL.txt", "earlier\n");
  for (const auto& [param, named] : {std::pair<std::string, std::string>{"a=1e-40", "a = 1e-40"},
                                     {"omega=1e30", "omega = 1e+30"},
                                     {"e=1e30", "e = 1e+30"}}) {
    const program_result r = dir.run("--param " + param);
    EXPECT_EQ(r.status, 1) << param;
    EXPECT_TRUE(has(r.err, named)) << r.err;
    EXPECT_FALSE(has(r.err, "tol")) << r.err;
    EXPECT_EQ(dir.read("RESULT/lL.txt"), "earlier\n");
  }
  EXPECT_EQ(dir.run("--param omega=1e6 --param a=1e-3").status, 0);

  dir.write("ini.txt", ini(2, 5, "section map"));
  program_result r = dir.run();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "three title words")) << r.err;

  run_dir parent;
  fs::create_directory(parent.path + "/nores");
  parent.write("nores/ini.txt", ini(1, 5));
  r = parent.run("nores");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "(mkdir nores/RESULT)")) << r.err;

  dir.write("ini.txt", ini(1, 5));
  fs::remove(dir.path + "/RESULT/run_info.txt");
  fs::create_symlink("/dev/full", dir.path + "/RESULT/run_info.txt");
  r = dir.run("--precise");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "writing ./RESULT/run_info.txt failed: No space left on device")) << r.err;
}

// catches: a bare commit hash for --version; n_conditions 0 emptying the results unannounced
TEST(Messages, VersionAndEmptyRunAreTold) {
  run_dir dir;
  program_result r = dir.run("--version");
  std::ifstream version_file(TRIVELLA_SOURCE_DIR "/VERSION");
  std::string number;
  version_file >> number;
  ASSERT_FALSE(number.empty());
  EXPECT_EQ(r.status, 0);
  const bool git = fs::exists(TRIVELLA_SOURCE_DIR "/.git");
  const std::string head = "trivella " + number;
  ASSERT_TRUE(r.out.starts_with(head)) << r.out;
  std::string commit = r.out.substr(head.size());
  if (git) {
    // " (abcdef1)" or " (abcdef1-dirty)", then the end of the line.
    ASSERT_TRUE(commit.starts_with(" (") && commit.ends_with(")\n")) << r.out;
    commit = commit.substr(2, commit.size() - 4);
    if (commit.ends_with("-dirty")) {
      commit.resize(commit.size() - 6);
    }
    EXPECT_GE(commit.size(), 7U) << r.out;
    EXPECT_EQ(commit.find_first_not_of("0123456789abcdef"), std::string::npos) << r.out;
  } else {
    EXPECT_EQ(commit, "\n");
  }

  dir.write("ini.txt", ini(0, 5));
  dir.write("RESULT/lL.txt", "earlier\n");
  r = dir.run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "I'm program complex \"Trivella\".\nI'm working, please wait...\n");
  EXPECT_TRUE(has(r.err, "warning: ini.txt: header: n_conditions is 0")) << r.err;
}

// catches: "regular" or "chaotic" written after a few dozen periods, where MEGNO's transient
// alone can cross the threshold
TEST(Messages, ChaosVerdictNeedsThreeHundredPeriods) {
  run_dir dir;
  dir.write("ini.txt", ini(3, 50));
  program_result r = dir.run("-q --precise --chaos");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.err, "too few for a verdict")) << r.err;
  std::istringstream lines(dir.read("RESULT/chaos.txt"));
  std::string line;
  int undecided = 0;
  while (std::getline(lines, line)) {
    undecided += line[0] != '#' && line.ends_with(" 49 undecided") ? 1 : 0;
  }
  EXPECT_EQ(undecided, 3);
  dir.write("ini.txt", ini(1, 301));
  r = dir.run("-q --precise --chaos");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string chaos = dir.read("RESULT/chaos.txt");
  EXPECT_TRUE(has(chaos, " 300 regular\n") || has(chaos, " 300 chaotic\n")) << chaos;
}

}  // namespace
