// Temporary working directories and runs of the built program.
#include "e2e/run_dir.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

run_dir::run_dir() {
  std::string pattern = (fs::temp_directory_path() / "trivella-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path = pattern;
  fs::create_directory(fs::path(path) / "RESULT");
}

run_dir::~run_dir() {
  std::error_code ec;
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path, ec);
}

void run_dir::write(const std::string& name, const std::string& text) const {
  std::ofstream(fs::path(path) / name, std::ios::binary) << text;
}

std::string run_dir::read(const std::string& name) const {
  std::ifstream in(fs::path(path) / name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool run_dir::exists(const std::string& name) const { return fs::exists(fs::path(path) / name); }

void run_dir::remove(const std::string& name) const { fs::remove_all(fs::path(path) / name); }

program_result run_dir::run(const std::string& arguments) const {
  const std::string command =
      "cd '" + path + "' && timeout 60 '" TRIVELLA_PROGRAM "' " + arguments + " >.stdout 2>.stderr";
  const int raw = std::system(command.c_str());
  program_result r;
  if (raw != -1 && WIFEXITED(raw)) {
    r.status = WEXITSTATUS(raw);
  }
  r.out = read(".stdout");
  r.err = read(".stderr");
  fs::remove(fs::path(path) / ".stdout");
  fs::remove(fs::path(path) / ".stderr");
  return r;
}

// Each started run has output files of its own, so that runs may overlap.
int run_dir::start(const std::vector<std::string>& arguments, int stdout_fd) const {
  std::vector<std::string> words{TRIVELLA_PROGRAM};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& w : words) {
    argv.push_back(w.data());
  }
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    // The test process has one thread, so the child may allocate before exec.
    const std::string suffix = "-" + std::to_string(getpid());
    const int err_fd =
        ::open((path + "/.stderr" + suffix).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int out_fd = stdout_fd >= 0 ? stdout_fd
                                      : ::open((path + "/.stdout" + suffix).c_str(),
                                               O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (chdir(path.c_str()) != 0 || err_fd < 0 || out_fd < 0 || dup2(out_fd, 1) < 0 ||
        dup2(err_fd, 2) < 0) {
      _exit(127);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) {
    throw std::runtime_error("fork failed");
  }
  return pid;
}

program_result run_dir::finish(int pid, double timeout_s) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_s);
  int raw = 0;
  rusage usage = {};
  while (wait4(pid, &raw, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      wait4(pid, &raw, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  program_result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.max_rss_kib = usage.ru_maxrss;
  const std::string suffix = "-" + std::to_string(pid);
  r.out = read(".stdout" + suffix);
  r.err = read(".stderr" + suffix);
  fs::remove(fs::path(path) / (".stdout" + suffix));
  fs::remove(fs::path(path) / (".stderr" + suffix));
  return r;
}
