// Entry point of trivella: the standard descriptors, the command line, then the run.
#include <cstdio>

#include "run/command_line.hpp"
#include "run/run_driver.hpp"
#include "run/std_descriptors.hpp"
#include "run/version.hpp"

int main(int argc, char** argv) {
  if (!fill_closed_std_descriptors()) {
    return 1;  // with no place for a message, none can be given
  }
  const command c = parse_command_line(argc, argv);
  switch (c.kind) {
    case command_kind::help:
      std::fputs(help_text().c_str(), stdout);
      break;
    case command_kind::version:
      std::printf("trivella %s\n", trivella_version());
      break;
    case command_kind::usage_error:
      std::fprintf(stderr, "trivella: %s\n%s\n", c.error.c_str(), usage_line());
      return 2;
    case command_kind::run:
      return run_trivella(c.options);
  }
  if (!stdout_written()) {
    std::perror("trivella: writing to standard output failed");
    return 1;
  }
  return 0;
}
