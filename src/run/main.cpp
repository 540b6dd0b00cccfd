// Entry point of trivella: the command line, then the run.
#include <cstdio>

#include "run/command_line.hpp"
#include "run/run_driver.hpp"
#include "run/version.hpp"

int main(int argc, char** argv) {
  const command c = parse_command_line(argc, argv);
  switch (c.kind) {
    case command_kind::help:
      std::fputs(help_text().c_str(), stdout);
      return 0;
    case command_kind::version:
      std::printf("trivella %s\n", trivella_version());
      return 0;
    case command_kind::usage_error:
      std::fprintf(stderr, "trivella: %s\n%s\n", c.error.c_str(), usage_line());
      return 2;
    case command_kind::run:
      break;
  }
  return run_trivella(c.options);
}
