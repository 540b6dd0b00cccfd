// Replays the kept fuzzing corpus through the reader's checks, so any compiler and every test
// run keep what the fuzzer found fixed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "config_reader_check.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: config_reader_replay CORPUS_DIRECTORY\n");
    return 2;
  }
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1], ec)) {
    if (entry.is_regular_file()) {
      files.push_back(entry.path());
    }
  }
  // An empty or missing corpus would pass without checking anything.
  if (ec || files.empty()) {
    std::fprintf(stderr, "config_reader_replay: no corpus files in %s\n", argv[1]);
    return 1;
  }
  std::sort(files.begin(), files.end());
  int failed = 0;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string problem =
        check_config_input(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    if (!problem.empty()) {
      std::fprintf(stderr, "%s: %s\n", file.filename().c_str(), problem.c_str());
      ++failed;
    }
  }
  std::printf("%zu corpus files, %d failed\n", files.size(), failed);
  return failed == 0 ? 0 : 1;
}
