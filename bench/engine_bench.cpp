// The engine's figures for long precise runs: CPU time per point and peak memory of the built
// program for 1, 8 and 16 conditions of 2,000 and 100,000 points (tol 1e-10), so that the
// cost of spooling the points computed ahead, and any growth of memory with n_points, show.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct figure {
  double cpu = 1e300;  // seconds, the least of the repeats
  long max_rss_kib = 0;
};

void write_ini(const fs::path& dir, int n_conditions, int n_points) {
  std::ofstream ini(dir / "ini.txt");
  ini << "engine bench run\n"
      << n_conditions << " " << n_points << " 0.1 1e-10 1e-6\nreference L\n1.0\n";
  for (int i = 0; i < n_conditions; ++i) {
    ini << "start " << i + 1 << " " << i + 1 << " " << 0.3 + 0.37 * i << " "
        << -1.2 + 2.4 * (i + 0.5) / n_conditions << " RESULT/c" << i + 1 << ".txt\n";
  }
}

// Runs the program once in dir; CPU time of the child (user + system) and its peak RSS.
bool run_once(const fs::path& dir, figure& f) {
  const pid_t pid = fork();
  if (pid == 0) {
    execl(TRIVELLA_PROGRAM, TRIVELLA_PROGRAM, "-q", "--precise", dir.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return false;
  }
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  f.cpu = std::min(f.cpu, seconds(usage.ru_utime) + seconds(usage.ru_stime));
  f.max_rss_kib = std::max(f.max_rss_kib, usage.ru_maxrss);
  return true;
}

}  // namespace

int main() {
  const fs::path dir =
      fs::temp_directory_path() / ("trivella-engine-bench-" + std::to_string(getpid()));
  fs::create_directories(dir / "RESULT");
  std::printf("precise, tol 1e-10, 2 threads by default; CPU of the whole program per point\n");
  std::printf("%10s %10s %14s %12s\n", "conditions", "points", "CPU/point us", "peak RSS KiB");
  for (const int n_points : {2000, 100000}) {
    for (const int n_conditions : {1, 8, 16}) {
      write_ini(dir, n_conditions, n_points);
      figure f;
      for (int repeat = 0; repeat < 3; ++repeat) {
        if (!run_once(dir, f)) {
          std::fprintf(stderr, "the program failed in %s\n", dir.c_str());
          return 1;
        }
      }
      const double points = static_cast<double>(n_conditions) * n_points;
      std::printf("%10d %10d %14.3f %12ld\n", n_conditions, n_points, f.cpu / points * 1e6,
                  f.max_rss_kib);
    }
  }
  fs::remove_all(dir);
  return 0;
}
