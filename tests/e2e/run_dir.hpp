// A temporary working directory in which the built program is run as a user would run it.
#pragma once

#include <string>

struct program_result {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

struct run_dir {
  std::string path;

  run_dir();  // a fresh directory with an empty RESULT directory
  run_dir(const run_dir&) = delete;
  run_dir& operator=(const run_dir&) = delete;
  ~run_dir();

  void write(const std::string& name, const std::string& text) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  void remove(const std::string& name) const;
  program_result run(const std::string& arguments = "") const;
};
