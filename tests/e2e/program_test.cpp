// End-to-end runs of the built program: console bytes, files, points against the oracle, and
// every kind of bad input answered with one clear line and nothing lost.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_dir.hpp"
#include "line_count.hpp"
#include "oracle/literal_oracle.hpp"

namespace {

const std::string banner = "I'm program complex \"Trivella\".\nI'm working, please wait...\n";

std::string ini(int n_conditions, int n_points, const std::string& numbers = "0.1 1e-9 1e-6",
                const std::string& L = "1.0") {
  return "trivella section map\n" + std::to_string(n_conditions) + " " + std::to_string(n_points) +
         " " + numbers + "\nreference L\n" + L + "\n";
}

std::string block(int i, const std::string& phi, const std::string& l) {
  return "start " + std::to_string(i) + " " + std::to_string(i) + " " + phi + " " + l +
         " ./RESULT/c" + std::to_string(i) + ".txt\n";
}

double f(const char* text) { return static_cast<double>(std::strtof(text, nullptr)); }

TEST(Program, NoConditionsGivesTheBannerAndThreeEmptyFiles) {
  run_dir dir;
  dir.write("ini.txt", ini(0, 5));
  const program_result r = dir.run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner);
  EXPECT_EQ(r.err,
            "trivella: warning: ini.txt: header: n_conditions is 0: no condition is run, and the "
            "run leaves RESULT/lL.txt empty\n");
  for (const char* name : {"RESULT/common_res.txt", "RESULT/lL.txt", "RESULT/integrir_res.txt"}) {
    EXPECT_TRUE(dir.exists(name)) << name;
    EXPECT_EQ(dir.read(name), "") << name;
  }
}

TEST(Program, PointsMatchTheOracleAcrossConditionsWithTheStepSizeCarried) {
  run_dir dir;
  dir.write("ini.txt", ini(3, 5, "0.1 1e-9 1e-6", "1.5") + block(1, "0.3", "0.9") +
                           block(2, "-2.0", "1.4") + block(3, "4.0", "-0.2") + "trailing junk");
  const program_result r = dir.run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner + "   1   2   3");
  EXPECT_EQ(r.err,
            "trivella: warning: ini.txt: 2 tokens after the 3 blocks that n_conditions asks for "
            "are not run\n");
  const double initial[] = {f("0.3"), f("0.9"), f("-2.0"), f("1.4"), f("4.0"), f("-0.2")};
  const std::string expected = oracle::run(1.5f, f("0.1"), f("1e-9"), f("1e-6"), 5, initial, 3);
  EXPECT_EQ(dir.read("RESULT/lL.txt"), expected);
  EXPECT_EQ(line_count(expected), 15);
  ASSERT_EQ(dir.run("--digits 17").status, 0);
  EXPECT_EQ(dir.read("RESULT/lL.txt"),
            oracle::run(1.5f, f("0.1"), f("1e-9"), f("1e-6"), 5, initial, 3, 17));
  for (const char* name : {"RESULT/c1.txt", "RESULT/c2.txt", "RESULT/c3.txt"}) {
    EXPECT_TRUE(dir.exists(name)) << name;
    EXPECT_EQ(dir.read(name), "") << name;
  }
}

TEST(Program, ManyConditionsOnAllCoresGiveTheSequentialBytes) {
  // Conditions run ahead of their turn; the file must still be the one-after-another run,
  // with the step size each condition leaves carried into the next. In this set condition 22
  // starts from a step size for which the guessed first step does not hold, so it runs again.
  std::mt19937_64 gen(404);
  std::uniform_real_distribution<double> phi(-6.0, 12.0);
  std::uniform_real_distribution<double> l(-1.8, 1.8);
  const int n = 40;
  std::string text = ini(n, 4, "0.7 1e-8 1e-5", "1.25");
  std::vector<double> initial;
  std::string console = banner;
  for (int i = 1; i <= n; ++i) {
    char phi_text[32];
    char l_text[32];
    std::snprintf(phi_text, sizeof phi_text, "%.6f", phi(gen));
    std::snprintf(l_text, sizeof l_text, "%.6f", l(gen));
    text += block(i, phi_text, l_text);
    initial.push_back(f(phi_text));
    initial.push_back(f(l_text));
    char number[8];
    std::snprintf(number, sizeof number, "%4d", i);
    console += number;
  }
  run_dir dir;
  dir.write("ini.txt", text);
  const program_result r = dir.run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, console);
  EXPECT_EQ(dir.read("RESULT/lL.txt"),
            oracle::run(1.25f, f("0.7"), f("1e-8"), f("1e-5"), 4, initial.data(), n));
  // At 17 decimals, where a first step guessed from another step size would show.
  ASSERT_EQ(dir.run("--digits 17").status, 0);
  EXPECT_EQ(dir.read("RESULT/lL.txt"),
            oracle::run(1.25f, f("0.7"), f("1e-8"), f("1e-5"), 4, initial.data(), n, 17));
}

TEST(Program, ConditionComputedAgainAtTheEndOfItsJob) {
  // Condition 4 starts from a step size for which the first step guessed from h0 does not
  // hold. With 1, 2 and 4 threads it is in the middle of a job or the last of one; a job
  // whose last condition is computed again must still leave in time.
  // catches: the engine reading a later condition from the job that no longer holds it
  const char* phi[] = {"4.4", "0.42", "5.06", "4.29", "1.0", "2.0", "3.0"};
  const char* l[] = {"-1.07", "-0.11", "-1.35", "0.91", "0.5", "-0.2", "0.8"};
  std::string text = ini(7, 20, "0.1 1e-9 1e-6", "1.0");
  std::vector<double> initial;
  for (int i = 0; i < 7; ++i) {
    text += block(i + 1, phi[i], l[i]);
    initial.push_back(f(phi[i]));
    initial.push_back(f(l[i]));
  }
  const std::string expected =
      oracle::run(1.0f, f("0.1"), f("1e-9"), f("1e-6"), 20, initial.data(), 7);
  for (const char* threads : {"--threads 1", "--threads 2", "--threads 4"}) {
    run_dir dir;
    dir.write("ini.txt", text);
    const program_result r = dir.run(threads);
    ASSERT_EQ(r.status, 0) << threads << r.err;
    EXPECT_EQ(dir.read("RESULT/lL.txt"), expected) << threads;
  }
}

TEST(Program, JobWithMoreLanesThanABatchGivesTheSequentialBytes) {
  // Sixteen conditions make two jobs of eight on two threads; the third also runs from a second
  // start, so its job has nine lanes and runs the ninth on a thread of its own.
  // catches: the extra lanes' points handed to the wrong slot, a lane lost or run twice
  const int n = 16;
  std::string text = ini(n, 12, "0.1 1e-9 1e-7");
  std::vector<double> initial;
  for (int i = 0; i < n; ++i) {
    char phi[32];
    char l[32];
    std::snprintf(phi, sizeof phi, "%.4f", 0.4 + 6.2831853 * ((i * 7) % n) / n);
    std::snprintf(l, sizeof l, "%.4f", -1.5 + 3.0 * (i + 0.5) / n);
    text += block(i + 1, phi, l);
    initial.push_back(f(phi));
    initial.push_back(f(l));
  }
  run_dir dir;
  dir.write("ini.txt", text);
  const program_result r = dir.run("--threads 2 --digits 17");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.read("RESULT/lL.txt"),
            oracle::run(1.0f, f("0.1"), f("1e-9"), f("1e-7"), 12, initial.data(), n, 17));
}

TEST(Program, EveryLineHasTheFormatAndAnAngleInRange) {
  run_dir dir;
  dir.write("ini.txt",
            ini(2, 40, "0.5 1e-7 1e-5") + block(1, "-7.5", "0.5") + block(2, "12.0", "-1.1"));
  ASSERT_EQ(dir.run().status, 0);
  std::istringstream lines(dir.read("RESULT/lL.txt"));
  std::string line;
  int n = 0;
  while (std::getline(lines, line)) {
    ++n;
    ASSERT_EQ(line.size(), 31U) << line;
    double phi = 0.0;
    double ratio = 0.0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%15lf %15lf", &phi, &ratio), 2) << line;
    EXPECT_GE(phi, 0.0);
    EXPECT_LT(phi, 6.2831853072);
    EXPECT_TRUE(std::isfinite(ratio));
  }
  EXPECT_EQ(n, 80);
}

TEST(Program, SecondRunTruncatesTheResultFiles) {
  run_dir dir;
  dir.write("ini.txt", ini(2, 5) + block(1, "0.3", "0.9") + block(2, "1.0", "0.2"));
  ASSERT_EQ(dir.run().status, 0);
  EXPECT_EQ(line_count(dir.read("RESULT/lL.txt")), 10);
  dir.write("RESULT/common_res.txt", "stale");
  dir.write("ini.txt", ini(1, 3) + block(1, "0.3", "0.9"));
  ASSERT_EQ(dir.run().status, 0);
  EXPECT_EQ(line_count(dir.read("RESULT/lL.txt")), 3);
  EXPECT_EQ(dir.read("RESULT/common_res.txt"), "");
}

TEST(Program, ZeroReferenceWritesInfinityText) {
  run_dir dir;
  dir.write("ini.txt", ini(1, 2, "0.1 1e-9 1e-6", "0") + block(1, "0.3", "0.9"));
  ASSERT_EQ(dir.run().status, 0);
  const std::string points = dir.read("RESULT/lL.txt");
  EXPECT_EQ(points.substr(15, 16), "             inf");
}

// Bad input: one line on stderr naming the file and the problem, exit status 1, and earlier
// results left as they were.
struct bad_run {
  program_result r;
  std::string points;
};

bad_run run_with_old_results(const std::string& ini_text) {
  run_dir dir;
  dir.write("RESULT/lL.txt", "earlier results\n");
  dir.write("ini.txt", ini_text);
  bad_run b{dir.run(), dir.read("RESULT/lL.txt")};
  return b;
}

void expect_one_line_error(const program_result& r, const std::string& fragment) {
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err.rfind("trivella: ", 0), 0U) << r.err;
  EXPECT_EQ(line_count(r.err), 1) << r.err;
  EXPECT_NE(r.err.find(fragment), std::string::npos) << r.err;
}

TEST(ProgramBadInput, HeaderProblemsLeaveEarlierResultsUntouched) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a b c 2 5", "found the end of the file"},
      {"a b c 2.5 5 0.1 1e-9 1e-7 x y 1", "expected n_conditions (an integer), found \"2.5\""},
      {"a b c 1 5 0.1 1e-9 1e-7 x y 1e39", "expected L (a finite number"},
      {"a b c 1 5 0.1 0 1e-7 x y 1", "tol must be greater than 0"},
      {"a b c 1 5 0.1 1e-9 -1 x y 1", "eps must be greater than 0"},
      {"a b c 1 5 0 1e-9 1e-7 x y 1", "h0 must not be 0"},
      {std::string(600, 'x') + " b c 1 5 0.1 1e-9 1e-7 x y 1", "longer than 499 characters"},
  };
  for (const auto& [text, fragment] : cases) {
    const bad_run b = run_with_old_results(text);
    expect_one_line_error(b.r, "ini.txt: header: ");
    expect_one_line_error(b.r, fragment);
    EXPECT_EQ(b.points, "earlier results\n") << fragment;
    EXPECT_EQ(b.r.out, banner);
  }
}

TEST(ProgramBadInput, MissingIniFile) {
  run_dir dir;
  const program_result r = dir.run();
  expect_one_line_error(r, "cannot open ini.txt");
  EXPECT_EQ(r.out, banner);
}

TEST(ProgramBadInput, MissingResultDirectoryNamesTheFix) {
  run_dir dir;
  dir.remove("RESULT");
  dir.write("ini.txt", ini(1, 5) + block(1, "0.3", "0.9"));
  const program_result r = dir.run();
  expect_one_line_error(r, "cannot create ./RESULT/");
  expect_one_line_error(r, "mkdir RESULT");
}

TEST(ProgramBadInput, LaterBlockFailureIsReportedBeforeAnythingIsComputed) {
  // catches: blocks read in turn, so a typo in a late block destroys the previous results
  const bad_run b =
      run_with_old_results(ini(3, 4) + block(1, "0.3", "0.9") + "start 2 2 0.5 oops c2.txt\n");
  expect_one_line_error(b.r,
                        "ini.txt: condition 2: expected the initial l (a number), found "
                        "\"oops\"");
  EXPECT_EQ(b.r.out, banner);
  EXPECT_EQ(b.points, "earlier results\n");
}

TEST(ProgramBadInput, UncreatableConditionFileIsFoundBeforeAnyFileIsTouched) {
  run_dir dir;
  dir.write("ini.txt", ini(2, 3) + block(1, "0.3", "0.9") + "s 2 2 0.1 0.2 no/such/dir.txt\n");
  const program_result r = dir.run();
  // Found before any file is touched, not when condition 2 is reached.
  expect_one_line_error(r, "condition 2: cannot create the condition file no/such/dir.txt");
  EXPECT_FALSE(dir.exists("RESULT/lL.txt"));
}

TEST(ProgramBadInput, ConditionFileThatIsIniIsRefused) {
  run_dir dir;
  const std::string input = ini(1, 3) + "s 1 1 0.1 0.2 ini.txt\n";
  dir.write("ini.txt", input);
  expect_one_line_error(dir.run(), "condition 1: the condition file ini.txt is ini.txt itself");
  EXPECT_EQ(dir.read("ini.txt"), input);
}

TEST(ProgramBadInput, ConditionFileNameOverNinetyNineCharactersIsRefused) {
  run_dir dir;
  dir.write("ini.txt", ini(1, 3) + "s 1 1 0.1 0.2 " + std::string(100, 'n') + "\n");
  expect_one_line_error(dir.run(), "longer than 99 characters");
}

TEST(ProgramBadInput, RunsThatCouldNeverFinishStopWithTheConditionAndTime) {
  const std::string good = block(1, "0.3", "0.9");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {ini(2, 3, "0.1 1e-9 1e-30") + good + block(2, "0.5", "0.5"), "cannot be refined"},
      {ini(2, 3, "0.1 1e-9 1e-6") + good + block(2, "0.5", "3e38"), "step size fell"},
  };
  for (const auto& [text, fragment] : cases) {
    run_dir dir;
    dir.write("ini.txt", text);
    const program_result r = dir.run();
    expect_one_line_error(r, fragment);
    expect_one_line_error(r, "t = ");
  }
  run_dir dir;
  dir.write("ini.txt", ini(1, 3, "0.1 1e-40 1e-6") + good);
  expect_one_line_error(dir.run(), "condition 1: the step size fell");
}

TEST(ProgramBadInput, StoppedConditionKeepsThePointsBeforeIt) {
  run_dir dir;
  dir.write("ini.txt",
            ini(2, 3, "0.1 1e-9 1e-6") + block(1, "0.3", "0.9") + block(2, "0.5", "3e38"));
  const program_result r = dir.run();
  expect_one_line_error(r, "condition 2: ");
  EXPECT_EQ(line_count(dir.read("RESULT/lL.txt")), 3);
}

}  // namespace
