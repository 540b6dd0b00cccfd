// The built program on long precise runs: what the engine computes ahead of its turn waits on
// disk, so memory does not grow with n_points, and nothing of it is left behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "e2e/run_dir.hpp"

namespace {

// Two conditions on two threads: the second runs ahead while the first is delivered. The
// points go to /dev/null, so that only the program's own memory and spool files count.
program_result precise_run(long n_points) {
  run_dir dir;
  dir.write("ini.txt", "trivella section map\n2 " + std::to_string(n_points) +
                           " 0.1 1e-3 1e-6\nreference L\n1.0\n"
                           "start 1 1 0.3 0.4 /dev/null\nstart 2 2 2.1 -0.7 /dev/null\n");
  std::filesystem::create_symlink("/dev/null", dir.path + "/RESULT/lL.txt");
  program_result r = dir.finish(dir.start({"-q", "--precise", "--threads=2"}), 110.0);
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path + "/RESULT")) {
    left.insert(entry.path().filename().string());
  }
  EXPECT_EQ(left,
            (std::set<std::string>{"common_res.txt", "integrir_res.txt", "lL.txt", "run_info.txt"}))
      << "a spool file was left in RESULT/";
  return r;
}

}  // namespace

// catches: points computed ahead of their turn held in memory (a million points are 16 MB),
// and spool files that outlive the run
TEST(EngineProgram, PeakMemoryIsTheSameForAHundredTimesThePoints) {
  const program_result small = precise_run(10000);
  ASSERT_EQ(small.status, 0) << small.err;
  const program_result large = precise_run(1000000);
  ASSERT_EQ(large.status, 0) << large.err;
  EXPECT_LT(large.max_rss_kib - small.max_rss_kib, 2 * 1024)
      << small.max_rss_kib << " KiB for 2 x 10^4 points, " << large.max_rss_kib
      << " KiB for 2 x 10^6";
  EXPECT_LT(large.max_rss_kib, 16 * 1024);
}
