// The precise method's files are the same bytes on every x86-64 processor: the built program
// runs natively and under qemu-user as a Nehalem (no AVX, no FMA: baseline kernels, the C
// library's non-FMA variants) and as a Haswell (AVX2 and FMA), rotation numbers and periodic
// orbits included. Also: runs with omega < 0 end normally, and a constant that makes the step
// collapse is named in the message.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "e2e/run_dir.hpp"

namespace {

// Eleven conditions run as lane blocks of 8, 2 and 1; h0 < 0 runs backward.
std::string ini_text(const char* h0) {
  std::string text =
      "trivella precise bits\n11 150 " + std::string(h0) + " 1e-10 1e-6\nreference L\n1.5\n";
  for (int i = 0; i < 11; ++i) {
    text += "condition " + std::to_string(i + 1) + " " + std::to_string(i + 1) + " " +
            std::to_string(0.55 * i) + " " + std::to_string(-1.6 + 0.33 * i) + " RESULT/c" +
            std::to_string(i + 1) + ".txt\n";
  }
  return text;
}

struct run_files {
  int status = -1;
  std::string console;
  std::map<std::string, std::string> files;  // RESULT/ by name
};

// Runs `prefix program arguments` in a fresh directory; prefix is empty or a qemu command.
run_files run_with(const std::string& prefix, const std::string& ini, const std::string& args) {
  const run_dir dir;
  dir.write("ini.txt", ini);
  const std::string command = "cd '" + dir.path + "' && timeout 300 " + prefix + " '" +
                              TRIVELLA_PROGRAM "' " + args + " >.stdout 2>/dev/null";
  const int raw = std::system(command.c_str());
  run_files r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.console = dir.read(".stdout");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path + "/RESULT")) {
    const std::string name = entry.path().filename().string();
    r.files[name] = dir.read("RESULT/" + name);
  }
  return r;
}

void expect_same_bytes_everywhere(const std::string& ini, const std::string& args) {
  const run_files native = run_with("", ini, args);
  ASSERT_EQ(native.status, 0) << args;
  ASSERT_FALSE(native.files.at("lL.txt").empty());
  for (const char* cpu : {"Nehalem", "Haswell"}) {
    const run_files emulated = run_with(std::string("qemu-x86_64 -cpu ") + cpu, ini, args);
    EXPECT_EQ(emulated.status, 0) << cpu << " " << args;
    EXPECT_EQ(emulated.console, native.console) << cpu << " " << args;
    ASSERT_EQ(emulated.files.size(), native.files.size()) << cpu << " " << args;
    for (const auto& [name, bytes] : native.files) {
      EXPECT_TRUE(emulated.files.at(name) == bytes) << cpu << " " << args << ": " << name;
    }
  }
}

// All 17 decimals, so that a point that differs in its last bit shows.
// catches: libm's exp/log/pow/hypot in the precise path (their FMA variants round otherwise),
// FMA contraction or a kernel of one instruction set that differs from the others
TEST(PreciseBits, ForwardRunIsTheSameOnNehalemAndHaswell) {
  expect_same_bytes_everywhere(ini_text("0.1"), "--precise --digits 17");
}

TEST(PreciseBits, BackwardRunIsTheSameOnNehalemAndHaswell) {
  expect_same_bytes_everywhere(ini_text("-0.1"), "--precise --digits 17");
}

TEST(PreciseBits, ChaosRunIsTheSameOnNehalemAndHaswell) {
  expect_same_bytes_everywhere(ini_text("0.1"), "--precise --chaos --digits 17");
}

// guards: the rotation numbers and the Newton residuals use no libm atan2, sin, cos, exp, log10
// or hypot, whose last bits differ between processors on some arguments (not always on these)
TEST(PreciseBits, RotationAndPeriodicOrbitsAreTheSameOnNehalemAndHaswell) {
  expect_same_bytes_everywhere(ini_text("0.1"), "--precise --rotation --digits 17");
  expect_same_bytes_everywhere(ini_text("0.1"), "--precise --periodic 3 --digits 17");
}

// catches: section times that assume omega > 0 (each condition spent its whole step budget)
TEST(PreciseBits, NegativeOmegaRunsEndNormallyBothWays) {
  for (const char* h0 : {"0.1", "-0.1"}) {
    const run_files r = run_with("", ini_text(h0), "--precise --param omega=-1.5");
    EXPECT_EQ(r.status, 0) << h0;
    const std::string& points = r.files.at("lL.txt");
    EXPECT_EQ(std::count(points.begin(), points.end(), '\n'), 11 * 150) << h0;
  }
}

// catches: the generic "tol too small" message when a model constant is at fault
TEST(PreciseBits, CollapsedStepNamesTheConstantAtFault) {
  const run_dir dir;
  dir.write("ini.txt", ini_text("0.1"));
  for (const auto& [args, name] : {std::pair{"--precise --param omega=1e30", "omega = 1e+30"},
                                   std::pair{"--precise --param a=1e-40", "a = 1e-40"},
                                   std::pair{"--precise --param e=1e30", "e / (a omega)"}}) {
    const program_result r = dir.run(args);
    EXPECT_NE(r.status, 0) << args;
    EXPECT_NE(r.err.find("step size fell below"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
  }
}

}  // namespace
