// Temporary working directories and runs of the built program.
#include "e2e/run_dir.hpp"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

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
