// The program's command line as typed day to day: help, version, mistakes, DIR, -q. A
// mistyped option must never rerun the conditions and overwrite earlier results.
#include <gtest/gtest.h>

#include <string>

#include "e2e/run_dir.hpp"
#include "line_count.hpp"

namespace {

const std::string banner = "I'm program complex \"Trivella\".\nI'm working, please wait...\n";
const std::string earlier = "earlier results\n";
const std::string two_conditions =
    "trivella section map\n2 5 0.1 1e-3 1e-2\nreference L\n1.0\n"
    "start start 1 0.1 0.8 ./RESULT/c1.txt\nstart start 2 0.2 0.7 ./RESULT/c2.txt\n";

// A directory with ini.txt of two conditions and earlier results that a run would replace.
void prepare(const run_dir& dir) {
  dir.write("ini.txt", two_conditions);
  dir.write("RESULT/lL.txt", earlier);
}

void expect_no_run(const run_dir& dir) {
  EXPECT_EQ(dir.read("RESULT/lL.txt"), earlier);
  EXPECT_FALSE(dir.exists("RESULT/common_res.txt"));
  EXPECT_FALSE(dir.exists("RESULT/c1.txt"));
}

TEST(CommandLine, HelpGoesToStandardOutputAndRunsNothing) {
  run_dir dir;
  prepare(dir);
  for (const char* help : {"--help", "-h"}) {
    const program_result r = dir.run(help);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: trivella ", 0), 0U) << r.out;
    EXPECT_EQ(r.err, "");
  }
  expect_no_run(dir);
}

TEST(CommandLine, VersionIsOneLineAndRunsNothing) {
  run_dir dir;
  prepare(dir);
  const program_result r = dir.run("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("trivella ", 0), 0U) << r.out;
  EXPECT_EQ(line_count(r.out), 1);
  expect_no_run(dir);
}

// catches: arguments ignored, so that a mistyped option reruns and overwrites the results
TEST(CommandLine, MistakesExitWithTwoAndChangeNoFile) {
  run_dir dir;
  prepare(dir);
  for (const char* bad : {"--frobnicate", "a b", "--threads 0", "--threads x", "--threads",
                          "--digits 0", "--digits=18", "--param z=1", "--param a=x", "--param a=0",
                          "--param omega=0", "--param b=-8", "--param=b=-15", "--chaos"}) {
    const program_result r = dir.run(bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_EQ(r.out, "") << bad;
    EXPECT_EQ(line_count(r.err), 2) << bad << ": " << r.err;
    EXPECT_NE(r.err.find("\nusage: trivella "), std::string::npos) << bad;
  }
  expect_no_run(dir);
}

// DIR names the working directory: its ini.txt is read and its RESULT written, not those of
// the directory the program is started in.
TEST(CommandLine, DirNamesTheWorkingDirectory) {
  run_dir here;
  here.write("ini.txt", two_conditions);
  ASSERT_EQ(here.run().status, 0);
  const std::string points = here.read("RESULT/lL.txt");
  run_dir dir;
  prepare(dir);
  run_dir elsewhere;
  const program_result r = elsewhere.run("'" + dir.path + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner + "   1   2");
  EXPECT_EQ(dir.read("RESULT/lL.txt"), points);
  EXPECT_FALSE(elsewhere.exists("RESULT/lL.txt"));
}

// -q leaves standard output empty and the files as a run without it writes them.
TEST(CommandLine, QuietOnOneThreadPrintsNothingAndWritesTheSameFiles) {
  run_dir dir;
  dir.write("ini.txt", two_conditions);
  ASSERT_EQ(dir.run().status, 0);
  const std::string points = dir.read("RESULT/lL.txt");
  dir.remove("RESULT/lL.txt");
  const program_result r = dir.run("-q --threads 1");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(dir.read("RESULT/lL.txt"), points);
}

}  // namespace
