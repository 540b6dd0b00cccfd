// Every file a run will create or truncate is checked before the first is touched, links
// included, and RESULT/ never holds the files of two different runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "e2e/run_dir.hpp"

namespace {

namespace fs = std::filesystem;

const std::string earlier = "earlier results\n";

// n conditions of 5 points; condition i writes the file named by name(i).
template <typename Name>
std::string ini_with(int n, Name name) {
  std::string text = "trivella section map\n" + std::to_string(n) + " 5 0.1 1e-3 1e-2\nref L\n1\n";
  for (int i = 1; i <= n; ++i) {
    text += "cond x " + std::to_string(i) + " 0." + std::to_string(i) + " 0.5 " + name(i) + "\n";
  }
  return text;
}
std::string plain_ini(int n) {
  return ini_with(n, [](int i) { return "./RESULT/c" + std::to_string(i) + ".txt"; });
}

std::set<std::string> result_names(const run_dir& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path + "/RESULT")) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// catches: a mistyped condition path found only when its condition is reached, after
// RESULT/lL.txt and the other files were truncated
TEST(ResultFiles, UnwritableConditionFileIsRefusedBeforeAnythingIsTouched) {
  run_dir dir;
  fs::create_directory(dir.path + "/RESULT/adir");  // a directory where a file must go
  for (const auto& [bad, reason] :
       {std::pair<std::string, std::string>{"./RESULTS/c12.txt", "No such file or directory"},
        {"./RESULT/adir", "Is a directory"},
        {"./RESULT/c1.txt/x", "Not a directory"}}) {
    dir.write("RESULT/lL.txt", earlier);
    dir.write("RESULT/common_res.txt", earlier);
    dir.write("RESULT/c1.txt", earlier);
    dir.write("ini.txt", ini_with(12, [&](int i) {
                return i == 12 ? bad : "./RESULT/c" + std::to_string(i) + ".txt";
              }));
    const program_result r = dir.run();
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_NE(r.err.find("condition 12: cannot create the condition file " + bad + ": " + reason),
              std::string::npos)
        << r.err;
    EXPECT_EQ(dir.read("RESULT/lL.txt"), earlier) << bad;
    EXPECT_EQ(dir.read("RESULT/common_res.txt"), earlier) << bad;
    EXPECT_EQ(dir.read("RESULT/c1.txt"), earlier) << bad;
    EXPECT_FALSE(dir.exists("RESULT/c2.txt")) << bad;
  }
}

// catches: a link whose target does not exist yet passing the same-file check, so that the
// run writes its points and then another file over them
TEST(ResultFiles, LinksToFilesNotYetCreatedAreCaught) {
  struct linked {
    std::string link;
    std::string target;
    std::string options;
  };
  for (const linked& l : {linked{"RESULT/run_info.txt", "lL.txt", "--precise"},
                          linked{"RESULT/chaos.txt", "lL.txt", "--precise --chaos"},
                          linked{"RESULT/c2.txt", "lL.txt", ""},
                          linked{"RESULT/c2.txt", "hop", ""},  // hop -> lL.txt, a chain
                          linked{"RESULT/common_res.txt", "../RESULT/./integrir_res.txt", ""}}) {
    run_dir dir;
    dir.write("ini.txt", plain_ini(2));
    fs::create_symlink("lL.txt", dir.path + "/RESULT/hop");
    fs::create_symlink(l.target, dir.path + "/" + l.link);
    const program_result r = dir.run(l.options);
    EXPECT_EQ(r.status, 1) << l.link << " -> " << l.target;
    EXPECT_NE(r.err.find("(a link?)") + r.err.find("choose another name"), 2 * std::string::npos)
        << r.err;
    EXPECT_FALSE(dir.exists("RESULT/lL.txt")) << l.link;
    EXPECT_FALSE(dir.exists("RESULT/integrir_res.txt")) << l.link;
  }
  // Two conditions sharing a file is no conflict: the second truncates it again.
  run_dir dir;
  dir.write("ini.txt", ini_with(2, [](int) { return "./RESULT/same.txt"; }));
  EXPECT_EQ(dir.run().status, 0);
}

// catches: run_info.txt saying "precise" and chaos.txt left beside the points of a later
// classic run
TEST(ResultFiles, ARunLeavesOnlyItsOwnKindOfFiles) {
  run_dir dir;
  dir.write("ini.txt", plain_ini(2));
  const std::set<std::string> classic{"c1.txt", "c2.txt", "common_res.txt", "integrir_res.txt",
                                      "lL.txt"};
  std::set<std::string> precise = classic;
  precise.insert("run_info.txt");
  std::set<std::string> chaos = precise;
  chaos.insert("chaos.txt");
  ASSERT_EQ(dir.run("--precise --chaos").status, 0);
  EXPECT_EQ(result_names(dir), chaos);
  ASSERT_EQ(dir.run().status, 0);
  EXPECT_EQ(result_names(dir), classic);
  ASSERT_EQ(dir.run("--precise --chaos").status, 0);
  ASSERT_EQ(dir.run("--precise").status, 0);
  EXPECT_EQ(result_names(dir), precise);
  EXPECT_NE(dir.read("RESULT/run_info.txt").find("chaos no\n"), std::string::npos);
  // A refused run removes nothing.
  dir.write("ini.txt", ini_with(2, [](int) { return "./nowhere/c.txt"; }));
  EXPECT_EQ(dir.run().status, 1);
  EXPECT_EQ(result_names(dir), precise);
}

}  // namespace
