// The program started with standard streams closed (cron, daemons, `>&-`), writing -h or
// --version to a full device, and interrupted while ini.txt, a FIFO, waits for its writer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "e2e/run_dir.hpp"

namespace {

namespace fs = std::filesystem;

std::string ini(const std::string& second_file) {
  return "trivella section map\n2 5 0.1 1e-3 1e-2\nref L\n1\n"
         "cond x 1 0.1 0.5 ./RESULT/c1.txt\ncond x 2 0.2 0.6 " +
         second_file + "\n";
}

// Runs the program in `dir` through the shell with `redirections` (which may close streams).
int shell_status(const run_dir& dir, const std::string& redirections) {
  const std::string command =
      "cd '" + dir.path + "' && timeout 60 '" TRIVELLA_PROGRAM "' " + redirections;
  const int raw = std::system(command.c_str());
  return raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Lines of two numbers each, padded on the left: digits and points, the second may be signed.
bool only_point_lines(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  bool any = false;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string phi;
    std::string l;
    std::string rest;
    if (line.empty() || line[0] != ' ' || !(fields >> phi >> l) || (fields >> rest) ||
        phi.find_first_not_of("0123456789.") != std::string::npos ||
        l.find_first_not_of("-0123456789.") != std::string::npos) {
      return false;
    }
    any = true;
  }
  return any && text.back() == '\n';
}

// catches: ini.txt, then RESULT/lL.txt, opened as descriptor 1 when standard output is
// closed, and the banner and condition numbers written into the points
TEST(StdStreams, ClosedStreamsNeverReceiveResultFiles) {
  run_dir dir;
  dir.write("ini.txt", ini("./RESULT/c2.txt"));
  ASSERT_EQ(shell_status(dir, ">/dev/null 2>&1"), 0);
  const std::string points = dir.read("RESULT/lL.txt");
  ASSERT_TRUE(only_point_lines(points)) << points;
  for (const char* closed : {">&-", "2>&- >/dev/null", "<&- >&- 2>&-"}) {
    dir.remove("RESULT/lL.txt");
    EXPECT_EQ(shell_status(dir, closed), 0) << closed;
    EXPECT_EQ(dir.read("RESULT/lL.txt"), points) << closed;
    EXPECT_EQ(dir.read("ini.txt"), ini("./RESULT/c2.txt")) << closed;
  }
  // With standard error closed, an error message lands in no result file.
  dir.write("ini.txt", ini("./RESULT/sub/c2.txt"));
  EXPECT_EQ(shell_status(dir, ">&- 2>&-"), 1);
  EXPECT_EQ(dir.read("RESULT/lL.txt"), points);
  for (const auto& entry : fs::recursive_directory_iterator(dir.path)) {
    if (entry.is_regular_file()) {
      EXPECT_EQ(dir.read(fs::relative(entry.path(), dir.path)).find("trivella:"), std::string::npos)
          << entry.path();
    }
  }
}

// catches: -h and --version reporting success when their output was lost
TEST(StdStreams, HelpAndVersionToAFullDeviceFail) {
  run_dir dir;
  for (const char* option : {"-h", "--version"}) {
    EXPECT_EQ(shell_status(dir, std::string(option) + " >/dev/full 2>/dev/null"), 1) << option;
    EXPECT_EQ(shell_status(dir, std::string(option) + " >/dev/null"), 0) << option;
  }
}

// catches: SIGINT or SIGTERM while opening a FIFO ini.txt reported as "Interrupted system
// call" with status 1
TEST(StdStreams, SignalWhileWaitingForAFifoIniIsAnInterrupt) {
  for (const int signal : {SIGINT, SIGTERM}) {
    run_dir dir;
    dir.write("RESULT/lL.txt", "earlier\n");
    ASSERT_EQ(mkfifo((dir.path + "/ini.txt").c_str(), 0600), 0);
    const int pid = dir.start({"-q"});
    // The program blocks in open(2) until a writer comes; wait until it is there.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, signal);
    const program_result r = dir.finish(pid, 20.0);
    EXPECT_EQ(r.status, 128 + signal) << r.err;
    EXPECT_NE(r.err.find(signal == SIGINT ? "interrupted by SIGINT" : "interrupted by SIGTERM"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(dir.read("RESULT/lL.txt"), "earlier\n");
  }
}

}  // namespace
