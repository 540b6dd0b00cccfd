// A temporary working directory in which the built program is run as a user would run it.
#pragma once

#include <string>
#include <vector>

struct program_result {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
  long max_rss_kib = 0;  // peak resident memory, for runs waited for by finish
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

  // Starts the program in this directory without a shell; standard output goes to `stdout_fd`
  // when given, else to a file, standard error to a file. Returns the process id.
  int start(const std::vector<std::string>& arguments = {}, int stdout_fd = -1) const;
  // Waits for a started program, killing it after `timeout_s` seconds (status -1 then).
  program_result finish(int pid, double timeout_s = 60.0) const;
};
