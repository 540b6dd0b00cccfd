// End-to-end runs of the built program as it is used day to day: interrupted, piped into
// head, started twice, its ini.txt edited or linked, its command line mistyped. In each case
// every point computed and every earlier result must survive.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "e2e/run_dir.hpp"
#include "line_count.hpp"

namespace {

namespace fs = std::filesystem;

const std::string banner = "I'm program complex \"Trivella\".\nI'm working, please wait...\n";
const std::string earlier = "earlier results\n";
// h0, tol and eps for which a point costs a few microseconds.
const std::string fast = "0.1 1e-3 1e-2";

std::string ini(int n_conditions, long n_points, const std::string& numbers = fast,
                const std::string& L = "1.0") {
  return "trivella section map\n" + std::to_string(n_conditions) + " " + std::to_string(n_points) +
         " " + numbers + "\nreference L\n" + L + "\n";
}

// Blocks 1..n, condition i starting from phi = 0.i, l = 0.(9 - i) + shift. Long label words
// put the later blocks beyond the first buffer a reader of ini.txt fills.
std::string blocks(int n, int shift = 0) {
  const std::string word(480, 'w');
  std::string text;
  for (int i = 1; i <= n; ++i) {
    text += word + " " + word + " " + std::to_string(i) + " 0." + std::to_string(i) + " " +
            std::to_string(shift) + "." + std::to_string(9 - i) + " ./RESULT/c" +
            std::to_string(i) + ".txt\n";
  }
  return text;
}

// Eight conditions of 12000 points: about half a second on one idle core.
constexpr int long_conditions = 8;
constexpr int long_points = 12000;
std::string long_ini() { return ini(long_conditions, long_points) + blocks(long_conditions); }

std::string points_of(const std::string& ini_text) {
  run_dir dir;
  dir.write("ini.txt", ini_text);
  const program_result r = dir.run();
  EXPECT_EQ(r.status, 0) << r.err;
  return dir.read("RESULT/lL.txt");
}

bool wait_until(const std::function<bool()>& done, double seconds = 20.0) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Long texts compared without printing them: the first difference is enough.
testing::AssertionResult same_text(const std::string& a, const std::string& b) {
  if (a == b) {
    return testing::AssertionSuccess();
  }
  const auto diff = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return testing::AssertionFailure() << "texts of " << a.size() << " and " << b.size()
                                     << " bytes differ from byte " << (diff.first - a.begin());
}

std::uintmax_t points_size(const run_dir& dir) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(dir.path + "/RESULT/lL.txt", ec);
  return ec ? 0 : size;
}

// CPU time used so far by a running process, from /proc.
double cpu_seconds(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // After the name in parentheses: state is field 3, utime and stime are fields 14 and 15.
  std::istringstream fields(stat.substr(stat.rfind(')') + 1));
  std::string skip;
  for (int field = 3; field < 14; ++field) {
    fields >> skip;
  }
  double utime = 0.0;
  double stime = 0.0;
  fields >> utime >> stime;
  return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Exactly one line, and its numbers agree with the file: conditions before the one named
// are whole, and the file holds every point counted.
void expect_interrupt_line(const std::string& err, int signal, long n_points, int lines) {
  int condition = 0;
  long long of_it = 0;
  long long in_all = 0;
  ASSERT_EQ(std::sscanf(err.c_str(),
                        "trivella: interrupted by SIG%*s during condition %d after %lld of its "
                        "points; %lld",
                        &condition, &of_it, &in_all),
            3)
      << err;
  EXPECT_EQ(err, "trivella: interrupted by " +
                     std::string(signal == SIGINT ? "SIGINT" : "SIGTERM") + " during condition " +
                     std::to_string(condition) + " after " + std::to_string(of_it) +
                     " of its points; " + std::to_string(in_all) +
                     " points in all are in RESULT/lL.txt, each line whole\n");
  EXPECT_EQ(in_all, lines);
  EXPECT_EQ(in_all, (condition - 1) * n_points + of_it) << err;
  EXPECT_LE(of_it, n_points);
}

// catches: SIGINT or SIGTERM killing the run, with the points of the condition in memory lost
TEST(DailyUse, SignalStopsTheRunAtAWholeLineKeepingEveryPoint) {
  const std::string full = points_of(long_ini());
  ASSERT_EQ(line_count(full), long_conditions * long_points);
  run_dir dir;
  dir.write("ini.txt", long_ini());
  std::mt19937 gen(7);
  std::uniform_int_distribution<std::uintmax_t> share(1, full.size() * 7 / 10);
  for (int k = 0; k < 5; ++k) {
    const int signal = k % 2 == 0 ? SIGINT : SIGTERM;
    // The moment: once the file holds a random share of the run; the first time, at once.
    const std::uintmax_t bytes = k == 0 ? 0 : share(gen);
    dir.remove("RESULT/lL.txt");
    const int pid = dir.start();
    ASSERT_TRUE(
        wait_until([&] { return dir.exists("RESULT/lL.txt") && points_size(dir) >= bytes; }));
    kill(pid, signal);
    const program_result r = dir.finish(pid);
    const std::string points = dir.read("RESULT/lL.txt");
    EXPECT_EQ(r.status, 128 + signal) << r.err;
    EXPECT_TRUE(points.empty() || points.back() == '\n');
    EXPECT_EQ(full.compare(0, points.size(), points), 0) << "run " << k;
    expect_interrupt_line(r.err, signal, long_points, line_count(points));
  }
}

// catches: a condition's points held in memory until it ends, and lost with it when stopped
TEST(DailyUse, SignalDuringOneLongConditionKeepsItsPointsSoFar) {
  const std::string first = points_of(ini(1, long_points) + blocks(1));
  // One condition that would take hours: its points so far are on disk when it is stopped.
  const long huge = 100000000;
  run_dir dir;
  dir.write("ini.txt", ini(1, huge) + blocks(1));
  const int pid = dir.start();
  ASSERT_TRUE(wait_until([&] { return dir.exists("RESULT/lL.txt"); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  kill(pid, SIGINT);
  const program_result r = dir.finish(pid);
  const std::string points = dir.read("RESULT/lL.txt");
  EXPECT_EQ(r.status, 130) << r.err;
  ASSERT_GT(line_count(points), 0);
  EXPECT_EQ(points.back(), '\n');
  const std::size_t common = std::min(points.size(), first.size());
  EXPECT_EQ(first.compare(0, common, points, 0, common), 0);
  expect_interrupt_line(r.err, SIGINT, huge, line_count(points));
}

// catches: death by SIGPIPE once the reader of standard output has gone
TEST(DailyUse, ClosedStandardOutputLosesNoPoint) {
  const std::string text = ini(3, 15000) + blocks(3);
  const std::string full = points_of(text);
  run_dir dir;
  dir.write("ini.txt", text);
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  const int pid = dir.start({}, fds[1]);
  close(fds[1]);
  // What `trivella | head -c 10` does: read ten bytes and go.
  std::string head(10, '\0');
  std::size_t got = 0;
  for (ssize_t n = 1; got < head.size() && n > 0; got += n > 0 ? static_cast<std::size_t>(n) : 0) {
    n = read(fds[0], head.data() + got, head.size() - got);
  }
  close(fds[0]);
  const program_result r = dir.finish(pid);
  EXPECT_EQ(head, banner.substr(0, 10));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "trivella: standard output was closed, so not every condition number was shown; the "
            "run went on and every point is in RESULT/lL.txt\n");
  EXPECT_TRUE(same_text(dir.read("RESULT/lL.txt"), full));
}

// catches: blocks read while the run goes on, from whatever ini.txt holds by then; a second
// run truncating the file the first is writing (NUL bytes, lines lost)
TEST(DailyUse, NeitherAnEditedIniNorASecondRunChangesARunThatGoesOn) {
  const std::string full = points_of(long_ini());
  run_dir dir;
  dir.write("ini.txt", long_ini());
  const int pid = dir.start();
  ASSERT_TRUE(wait_until([&] { return dir.exists("RESULT/lL.txt"); }));
  dir.write("ini.txt", ini(long_conditions, long_points) + blocks(long_conditions, 1));
  // Points on disk: the run holds the lock.
  ASSERT_TRUE(wait_until([&] { return points_size(dir) > 0; }));
  const program_result here = dir.run();
  run_dir elsewhere;
  const program_result named = elsewhere.run("'" + dir.path + "'");
  const program_result first = dir.finish(pid);
  EXPECT_EQ(here.status, 1);
  EXPECT_EQ(here.err,
            "trivella: another trivella run is writing in this directory (its RESULT/lL.txt is "
            "locked); wait for it to end or use another directory\n");
  EXPECT_EQ(named.status, 1);
  EXPECT_NE(named.err.find("writing in " + dir.path + " "), std::string::npos) << named.err;
  EXPECT_EQ(first.status, 0) << first.err;
  const std::string points = dir.read("RESULT/lL.txt");
  EXPECT_EQ(points.find('\0'), std::string::npos);
  EXPECT_TRUE(same_text(points, full));
}

// catches: result files opened with "w" through a link, destroying ini.txt
TEST(DailyUse, ResultFileLinkedToIniIsRefusedBeforeAnyTruncation) {
  const std::string text = ini(1, 5) + blocks(1);
  for (const char* result : {"RESULT/lL.txt", "RESULT/common_res.txt"}) {
    run_dir dir;
    dir.write("ini.txt", text);
    fs::create_symlink("../ini.txt", dir.path + "/" + result);
    const program_result r = dir.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "trivella: ./" + std::string(result) +
                         " is ini.txt itself (a link?); the run would overwrite its own input\n");
    EXPECT_EQ(dir.read("ini.txt"), text);
  }
}

// catches: a condition file written over a result file
TEST(DailyUse, ConditionFileThatIsAResultFileIsRefusedBeforeAnyTruncation) {
  run_dir dir;
  dir.write("ini.txt", ini(2, 5) + blocks(1) + "start start 2 0.5 0.5 RESULT/lL.txt\n");
  dir.write("RESULT/lL.txt", earlier);
  const program_result r = dir.run();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "trivella: ini.txt: condition 2: the condition file RESULT/lL.txt is the result file "
            "./RESULT/lL.txt; choose another name\n");
  EXPECT_EQ(dir.read("RESULT/lL.txt"), earlier);
}

// catches: fopen of a directory read as an empty file
TEST(DailyUse, IniThatIsADirectoryIsRefused) {
  run_dir dir;
  dir.write("RESULT/lL.txt", earlier);
  fs::create_directory(dir.path + "/ini.txt");
  const program_result r = dir.run();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "trivella: cannot read ini.txt: Is a directory\n");
  EXPECT_EQ(dir.read("RESULT/lL.txt"), earlier);
}

// catches: /dev/zero read without end
TEST(DailyUse, EndlessIniIsRefusedAtTheSizeLimit) {
  run_dir dir;
  dir.write("RESULT/lL.txt", earlier);
  fs::create_symlink("/dev/zero", dir.path + "/ini.txt");
  const program_result r = dir.finish(dir.start(), 10.0);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "trivella: ini.txt is larger than 16 MiB; it is not a configuration file of this "
            "program\n");
  EXPECT_EQ(dir.read("RESULT/lL.txt"), earlier);
  EXPECT_FALSE(dir.exists("RESULT/common_res.txt"));
}

// catches: the points of a condition held in memory until it ends, or piling up while the
// point file is slow to take them
TEST(DailyUse, PeakMemoryStaysFlatWhileThePointFileTakesNothing) {
  run_dir dir;
  dir.write("ini.txt", ini(1, 4000) + blocks(1));
  const program_result small = dir.finish(dir.start({"-q"}));
  ASSERT_EQ(small.status, 0) << small.err;
  ASSERT_EQ(line_count(dir.read("RESULT/lL.txt")), 4000);
  // A named pipe as the point file, read only once the run has used two seconds of CPU time
  // or waits: a run that does not wait for its file computes some 400000 points meanwhile.
  const long huge = 100000000;
  dir.write("ini.txt", ini(1, huge) + blocks(1));
  dir.remove("RESULT/lL.txt");
  const std::string fifo_path = dir.path + "/RESULT/lL.txt";
  ASSERT_EQ(mkfifo(fifo_path.c_str(), 0600), 0);
  const int fifo = open(fifo_path.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fifo, 0);
  const int pid = dir.start({"-q"});
  double cpu = 0.0;
  wait_until([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double before = std::exchange(cpu, cpu_seconds(pid));
    return cpu >= 2.0 || (cpu > 0.0 && cpu == before);
  });
  kill(pid, SIGINT);
  fcntl(fifo, F_SETFL, 0);
  std::string points;
  char buffer[1 << 16];
  for (ssize_t n = 0; (n = read(fifo, buffer, sizeof buffer)) > 0;) {
    points.append(buffer, static_cast<std::size_t>(n));
  }
  close(fifo);
  const program_result large = dir.finish(pid);
  EXPECT_EQ(large.status, 130) << large.err;
  expect_interrupt_line(large.err, SIGINT, huge, line_count(points));
  EXPECT_LT(large.max_rss_kib - small.max_rss_kib, 4 * 1024)
      << small.max_rss_kib << " KiB for 4000 points, " << large.max_rss_kib << " KiB for "
      << line_count(points) << " through a slow pipe";
}

// Each slip gives one warning and the very files of the text without it.
TEST(DailyUse, WarningsChangeNoByteOfTheFiles) {
  const std::string block = "start start 1 0.3 0.9 ";
  const std::string clean = ini(1, 20) + block + "c.txt\n";
  const std::vector<std::vector<std::string>> slips = {
      {ini(1, 20) + block + "5\n", clean,
       "ini.txt: condition 1: the file name \"5\" is a number; is a token missing or extra in a "
       "block?"},
      {clean + "start start 2 0.5 0.5 c2.txt\n", clean,
       "ini.txt: 6 tokens after the 1 blocks that n_conditions asks for (about 1 more blocks) "
       "are not run"},
      {ini(1, 20, fast, "1e-50") + block + "c.txt\n", ini(1, 20, fast, "0") + block + "c.txt\n",
       "ini.txt: header: L = 1e-50 rounds to 0 in single precision; every l / L will be inf or "
       "nan"},
  };
  for (const std::vector<std::string>& slip : slips) {
    run_dir with;
    run_dir without;
    with.write("ini.txt", slip[0]);
    without.write("ini.txt", slip[1]);
    const program_result a = with.run();
    const program_result b = without.run();
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.err, "trivella: warning: " + slip[2] + "\n");
    EXPECT_EQ(b.err, "");
    EXPECT_EQ(a.out, b.out);
    for (const char* name : {"RESULT/lL.txt", "RESULT/common_res.txt", "RESULT/integrir_res.txt"}) {
      EXPECT_EQ(with.read(name), without.read(name)) << name;
    }
    EXPECT_EQ(line_count(with.read("RESULT/lL.txt")), 20);
  }
}

// catches: UTF-16 text read as garbage tokens with no hint of the cause
TEST(DailyUse, Utf16IniIsNamedBeforeTheErrorAndChangesNoFile) {
  const std::string clean = ini(1, 20) + "start start 1 0.3 0.9 c.txt\n";
  // UTF-16 as some editors save it: a byte-order mark and a NUL after every ASCII byte.
  std::string utf16 = "\xff\xfe";
  for (char c : clean) {
    utf16 += std::string{c, '\0'};
  }
  run_dir dir;
  dir.write("ini.txt", utf16);
  dir.write("RESULT/lL.txt", earlier);
  const program_result r = dir.run();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("trivella: warning: ini.txt looks like UTF-16 text; save it as plain text "
                        "(ASCII or UTF-8)\ntrivella: ",
                        0),
            0U)
      << r.err;
  EXPECT_EQ(line_count(r.err), 2);
  EXPECT_EQ(dir.read("RESULT/lL.txt"), earlier);
}

// catches: every collapsed step size blamed on a tol too small
TEST(DailyUse, CollapsedStepSizeNamesTheRealCause) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {ini(1, 5, "0.1 1e6 1e-6") + "start start 1 0.3 0.9 c.txt\n",
       "tol = 1e+06 is far too large for an error bound: steps it let through carried l from 0.9 "
       "to "},
      {ini(1, 5, "0.1 1e-9 1e-6", "1e30") + blocks(1),
       "l0 or L too large: at l = 0.8 with L = 1e+30 the solution changes on a time scale of "
       "about "},
      {ini(1, 5, "0.1 1e-9 1e-6") + "start start 1 0.3 3e38 c.txt\n",
       "l0 or L too large: at l = 3e+38 with L = 1 "},
      {ini(1, 5, "0.1 1e-40 1e-6") + blocks(1),
       "tol = 1e-40 is too small: rounding errors alone exceed it\n"},
  };
  for (const auto& [text, cause] : cases) {
    run_dir dir;
    dir.write("ini.txt", text);
    const program_result r = dir.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("trivella: condition 1: the step size fell to ", 0), 0U) << r.err;
    EXPECT_NE(r.err.find(", below the smallest usable step 1e-10; " + cause), std::string::npos)
        << r.err;
    EXPECT_EQ(line_count(r.err), 1) << r.err;
  }
}

}  // namespace
