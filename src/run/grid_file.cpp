// Lines go to grid.txt through write(2), each whole and at once: an interrupt leaves only
// complete cells, and a crash at most a partial last line, which --resume drops.
#include "run/grid_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "chaos/chaos_accumulator.hpp"
#include "run/run_files.hpp"
#include "run/run_info.hpp"

namespace {

std::string format(const char* pattern, auto... values) {
  std::array<char, 512> text{};
  std::snprintf(text.data(), text.size(), pattern, values...);
  return text.data();
}

std::string axis_line(const char* which, const grid_axis& a) {
  return format("# %s %s %.9g %.9g %d\n", which, a.name.c_str(), static_cast<double>(a.from),
                static_cast<double>(a.to), a.n);
}

bool write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;  // an interrupt ends the run after this line, never inside it
    }
    if (n <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Checks the file against `header` and counts the complete lines after it; `keep` is the
// length up to the last of them. False with `error` set.
bool read_done(int fd, const std::string& header, long long cells, long long& done, off_t& keep,
               std::string& error) {
  std::array<char, 1 << 16> block{};
  std::string start;
  off_t offset = 0;
  done = 0;
  keep = static_cast<off_t>(header.size());
  for (;;) {
    const ssize_t n = ::read(fd, block.data(), block.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      error = std::string("cannot read ") + grid_path + ": " + std::strerror(errno);
      return false;
    }
    if (n == 0) {
      break;
    }
    for (ssize_t k = 0; k < n; ++k, ++offset) {
      if (offset < keep) {
        start += block[static_cast<std::size_t>(k)];
      } else if (block[static_cast<std::size_t>(k)] == '\n') {
        ++done;
        keep = offset + 1;
      }
    }
  }
  if (start != header) {
    error = std::string(grid_path) +
            " was not written by this command (its header lines differ from this map's); run "
            "without --resume to start the map anew";
    return false;
  }
  if (done > cells) {
    error = std::string(grid_path) + " holds more lines than this map has cells";
    return false;
  }
  return true;
}

}  // namespace

std::string grid_header(const grid_plan& p, const run_config& config, double h0, bool rotation) {
  const grid_axis& x = p.axes[0];
  const grid_axis& y = p.axes[1];
  const auto wide = [](float v) { return static_cast<double>(v); };
  std::string h = format(
      "# grid: x %s from %.9g to %.9g in %d cells, y %s from %.9g to %.9g in %d "
      "cells\n",
      x.name.c_str(), wide(x.from), wide(x.to), x.n, y.name.c_str(), wide(y.from), wide(y.to), y.n);
  h += axis_line("x", x) + axis_line("y", y);
  if (has_constant_axis(p)) {
    h += format("# seed phi0 %.9g l0 %.9g\n", p.seed[0], p.seed[1]);
  }
  const model_params& m = p.m;
  h += format(
      "# settings n_points %d tol %.9g L %.9g a %.9g b %.9g c %.9g d %.9g e %.9g omega %.9g "
      "direction %s\n",
      config.n_points, config.tol, wide(m.L), wide(m.p_a), wide(m.p_b), wide(m.p_c), wide(m.p_d),
      wide(m.p_e), wide(m.omega), 0.0 < h0 ? "forward" : "backward");
  h += format("# chaotic when megno > %g after at least %lld periods\n", chaos_threshold,
              static_cast<long long>(min_verdict_periods));
  h += "# " + x.name + " " + y.name + " megno lyapunov periods verdict" +
       (rotation ? " rotation kind digits\n" : "\n");
  return h;
}

std::string grid_line(const grid_cell& c, const grid_result& r, bool rotation) {
  std::string line;
  if (r.failed) {
    line = format("%.9g %.9g nan nan 0 failed", c.xy[0], c.xy[1]);
  } else if (!r.chaos.computed) {
    line = format("%.9g %.9g nan nan 0 undecided", c.xy[0], c.xy[1]);
  } else {
    line = format("%.9g %.9g %.6g %.6g %" PRId64 " %s", c.xy[0], c.xy[1], r.chaos.megno,
                  r.chaos.lyapunov, r.chaos.periods, chaos_verdict(r.chaos));
  }
  if (rotation) {
    const rotation_summary& s = r.rotation;
    line +=
        r.failed || !s.computed
            ? " nan none nan"
            : format(" %.17g %s %.3g", s.rotation,
                     s.kind == rotation_kind::circulating ? "circulating" : "librating", s.digits);
  }
  return line + "\n";
}

bool open_grid_file(grid_file& f, const std::string& header, long long cells, bool resume,
                    const std::string& dir_name, std::string& error) {
  if (resume && ::access(grid_path, F_OK) != 0) {
    error = std::string("--resume: there is no ") + grid_path + " in " + dir_name + " to continue";
    return false;
  }
  f.fd = ::open(grid_path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (f.fd < 0) {
    error = cannot_create(grid_path);
    return false;
  }
  if (::flock(f.fd, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK
                ? "another trivella run is writing in " + dir_name +
                      " (its RESULT/grid.txt is locked); wait for it to end"
                : std::string("cannot lock ") + grid_path + ": " + std::strerror(errno);
    close_grid_file(f);
    return false;
  }
  off_t keep = 0;
  if (resume && !read_done(f.fd, header, cells, f.cells_done, keep, error)) {
    close_grid_file(f);
    return false;
  }
  if (::ftruncate(f.fd, keep) != 0 || ::lseek(f.fd, keep, SEEK_SET) != keep ||
      (!resume && !write_all(f.fd, header))) {
    error = std::string("cannot write ") + grid_path + ": " + std::strerror(errno);
    close_grid_file(f);
    return false;
  }
  return true;
}

bool write_grid_line(grid_file& f, const std::string& line) {
  if (f.error.empty() && !write_all(f.fd, line)) {
    f.error = std::string("writing ") + grid_path + " failed: " + std::strerror(errno);
  }
  return f.error.empty();
}

bool close_grid_file(grid_file& f) {
  if (f.fd >= 0 && ::close(f.fd) != 0 && f.error.empty()) {
    f.error = std::string("writing ") + grid_path + " failed: " + std::strerror(errno);
  }
  f.fd = -1;
  return f.error.empty();
}
