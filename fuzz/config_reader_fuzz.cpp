// libFuzzer entry for the ini.txt reader: any broken promise aborts with its description.
#include <cstdio>
#include <cstdlib>

#include "config_reader_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = check_config_input(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "config_reader_fuzz: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
