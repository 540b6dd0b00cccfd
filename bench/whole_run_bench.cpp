// Whole-run figures: the built program against the literal oracle, run in turns with it (the
// oracle in this process), as CPU-time and wall-time ratios of the fastest of three runs each;
// and the program's peak memory.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "oracle/literal_oracle.hpp"

namespace fs = std::filesystem;

namespace {

struct scenario {
  const char* name;
  int n_conditions;
  int n_points;
  const char* numbers;  // h0 tol eps, as written in ini.txt
  bool with_literal;
};

struct timing {
  double cpu = 0.0;
  double wall = 0.0;
  long max_rss_kib = 0;
};

double single(const char* text) { return static_cast<double>(std::strtof(text, nullptr)); }

// Initial conditions spread over the phase plane: a grid of phi, and l/L from -1.5 to 1.5.
std::vector<double> initial_states(int n) {
  std::vector<double> y;
  for (int i = 0; i < n; ++i) {
    char phi[32];
    char l[32];
    std::snprintf(phi, sizeof phi, "%.4f", 0.4 + 6.2831853 * ((i * 7) % n) / n);
    std::snprintf(l, sizeof l, "%.4f", -1.5 + 3.0 * (i + 0.5) / n);
    y.push_back(single(phi));
    y.push_back(single(l));
  }
  return y;
}

std::string ini_text(const scenario& sc, const std::vector<double>& y) {
  std::ostringstream text;
  text << "bench section map\n"
       << sc.n_conditions << " " << sc.n_points << " " << sc.numbers << "\nreference L\n1.0\n";
  for (int i = 0; i < sc.n_conditions; ++i) {
    char line[128];
    std::snprintf(line, sizeof line, "start %d %d %.9g %.9g RESULT/c%d.txt\n", i + 1, i + 1,
                  y[2 * i], y[2 * i + 1], i + 1);
    text << line;
  }
  return text.str();
}

double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

timing run_program(const fs::path& dir) {
  std::fflush(stdout);  // the child must not write this process's buffered lines again
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0 || std::freopen("/dev/null", "w", stdout) == nullptr) {
      _exit(127);
    }
    execl(TRIVELLA_PROGRAM, "trivella", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  timing t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  t.max_rss_kib = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "trivella failed in %s\n", dir.c_str());
    std::exit(1);
  }
  return t;
}

double process_cpu() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

timing fastest(const timing& a, const timing& b) {
  return {std::min(a.cpu, b.cpu), std::min(a.wall, b.wall), std::max(a.max_rss_kib, b.max_rss_kib)};
}

// The literal version of the same run in this process.
timing run_literal(const scenario& sc, const std::vector<double>& y, std::string& points) {
  char h0[32];
  char tol[32];
  char eps[32];
  std::sscanf(sc.numbers, "%31s %31s %31s", h0, tol, eps);
  const double cpu_start = process_cpu();
  const auto wall_start = std::chrono::steady_clock::now();
  points = oracle::run(1.0f, single(h0), single(tol), single(eps), sc.n_points, y.data(),
                       sc.n_conditions);
  timing lit;
  lit.cpu = process_cpu() - cpu_start;
  lit.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  return lit;
}

// Runs compared with the literal version alternate with it, three rounds, and each side keeps
// its fastest figures: a machine shared with others slows single runs by up to a third.
void run_scenario(const scenario& sc, const fs::path& dir) {
  const std::vector<double> y = initial_states(sc.n_conditions);
  fs::create_directories(dir / "RESULT");
  std::ofstream(dir / "ini.txt") << ini_text(sc, y);
  timing program = run_program(dir);
  const double points = static_cast<double>(sc.n_conditions) * sc.n_points;
  timing lit{};
  bool same = true;
  if (sc.with_literal) {
    std::string literal;
    lit = run_literal(sc, y, literal);
    same = literal == read_file(dir / "RESULT" / "lL.txt");
    for (int round = 1; round < 3; ++round) {
      program = fastest(program, run_program(dir));
      lit = fastest(lit, run_literal(sc, y, literal));
    }
  }
  std::printf("%-34s program: %7.3f s wall %7.3f s CPU  %9.0f points/s  peak RSS %6.1f MiB\n",
              sc.name, program.wall, program.cpu, points / program.wall,
              static_cast<double>(program.max_rss_kib) / 1024.0);
  if (!sc.with_literal) {
    return;
  }
  std::printf("%-34s literal: %7.3f s wall %7.3f s CPU  %9.0f points/s\n", "", lit.wall, lit.cpu,
              points / lit.wall);
  std::printf("%-34s ratios:  %7.2fx CPU  %7.2fx wall   points identical: %s\n", "",
              lit.cpu / program.cpu, lit.wall / program.wall, same ? "yes" : "NO");
  if (!same) {
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool memory = argc > 1 && std::strcmp(argv[1], "--memory") == 0;
  const fs::path root = fs::temp_directory_path() / ("trivella-bench-" + std::to_string(getpid()));
  const scenario scenarios[] = {
      {"1 condition x 2000 points", 1, 2000, "0.1 1e-9 1e-7", true},
      {"16 conditions x 300 points", 16, 300, "0.1 1e-9 1e-7", true},
      {"100 conditions x 10000 points", 100, 10000, "0.1 1e-6 1e-4", false},
  };
  int i = 0;
  for (const scenario& sc : scenarios) {
    if (!sc.with_literal && !memory) {
      continue;
    }
    run_scenario(sc, root / std::to_string(i++));
  }
  fs::remove_all(root);
  return 0;
}
