// End-to-end runs for the rows of the bad-input table that program_test does not cover: a
// number beyond single precision in a block, bytes no ini.txt should hold, a condition file
// that is a directory, and a result file that cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/run_dir.hpp"
#include "line_count.hpp"

namespace {

const std::string header = "trivella section map\n2 3 0.1 1e-9 1e-6\nreference L\n1.0\n";
const std::string first_block = "start 1 1 0.3 0.9 ./RESULT/c1.txt\n";

// One line on stderr, exactly `message` after the program's prefix, and exit status 1.
void expect_error(const program_result& r, const std::string& message) {
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "trivella: " + message + "\n");
}

// A bad block is found before any result file is created, however late it stands.
TEST(BadInputTable, NumberBeyondSinglePrecisionInABlockTouchesNoFile) {
  run_dir dir;
  dir.write("ini.txt", header + first_block + "start 2 2 0.5 -1e39 ./RESULT/c2.txt\n");
  expect_error(dir.run(),
               "ini.txt: condition 2: expected the initial l (a finite number within single "
               "precision), found \"-1e39\"");
  EXPECT_FALSE(dir.exists("RESULT/lL.txt"));
  EXPECT_FALSE(dir.exists("RESULT/c1.txt"));
}

TEST(BadInputTable, NulByteInANameCreatesNoFile) {
  run_dir dir;
  dir.write("ini.txt",
            header + first_block + std::string("start 2 2 0.5 0.5 ./RESULT/c\0.txt", 33));
  expect_error(dir.run(),
               "ini.txt: condition 2: expected the condition's file name, found "
               "\"./RESULT/c\\x00.txt\", which holds a NUL byte");
  EXPECT_FALSE(dir.exists("RESULT/lL.txt"));
  EXPECT_FALSE(dir.exists("RESULT/c"));
}

TEST(BadInputTable, ConditionFileThatIsADirectory) {
  run_dir dir;
  dir.write("ini.txt", header + first_block + "start 2 2 0.5 0.5 RESULT\n");
  expect_error(dir.run(),
               "ini.txt: condition 2: cannot create the condition file RESULT: Is a directory; "
               "nothing was written (is the path mistyped?)");
  EXPECT_FALSE(dir.exists("RESULT/lL.txt"));
}

// The process may run as root, for whom permissions do not stop a write: /dev/full does.
TEST(BadInputTable, ResultFileThatCannotBeWritten) {
  if (!std::filesystem::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full";
  }
  run_dir dir;
  dir.write("ini.txt", header + first_block + "start 2 2 0.5 0.5 ./RESULT/c2.txt\n");
  std::filesystem::create_symlink("/dev/full", dir.path + "/RESULT/lL.txt");
  const program_result r = dir.run();
  expect_error(r, "writing ./RESULT/lL.txt failed: No space left on device");
  // The failure is found when the first condition's points are flushed.
  EXPECT_FALSE(dir.exists("RESULT/c2.txt"));
}

}  // namespace
