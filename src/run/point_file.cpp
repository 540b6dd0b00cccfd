// Point lines go to the file in blocks of whole lines through write(2): an interrupt, a crash
// or a full disk can cut the file between lines, never inside one.
#include "run/point_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "run/run_files.hpp"

namespace {

constexpr std::size_t write_block = std::size_t{1} << 16;
constexpr auto write_interval = std::chrono::milliseconds(500);

}  // namespace

bool open_point_file(point_file& f, const char* path, const std::string& dir_name,
                     std::string& error) {
  f.fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (f.fd < 0) {
    error = cannot_create(path);
    return false;
  }
  if (::flock(f.fd, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK
                ? "another trivella run is writing in " + dir_name +
                      " (its RESULT/lL.txt is locked); wait for it to end or use another directory"
                : std::string("cannot lock ") + path + ": " + std::strerror(errno);
    ::close(f.fd);
    f.fd = -1;
    return false;
  }
  // A device such as /dev/full has nothing to truncate, as opening it with "w" would not.
  struct stat info = {};
  if (::fstat(f.fd, &info) == 0 && S_ISREG(info.st_mode) && ::ftruncate(f.fd, 0) != 0) {
    error = std::string("cannot truncate ") + path + ": " + std::strerror(errno);
    return false;
  }
  f.last_write = std::chrono::steady_clock::now();
  return true;
}

bool flush_points(point_file& f) {
  std::size_t done = 0;
  while (done < f.pending.size() && f.error.empty()) {
    const ssize_t n = ::write(f.fd, f.pending.data() + done, f.pending.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      f.error =
          std::string("writing ./RESULT/lL.txt failed: ") + std::strerror(n < 0 ? errno : ENOSPC);
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  f.pending.erase(0, done);
  f.last_write = std::chrono::steady_clock::now();
  return f.error.empty();
}

bool add_points(point_file& f, std::span<const section_point> points) {
  for (const section_point& p : points) {
    append_point_line(f.pending, p, f.digits);
    if (f.pending.size() >= write_block && !flush_points(f)) {
      return false;
    }
  }
  if (std::chrono::steady_clock::now() - f.last_write >= write_interval) {
    return flush_points(f);
  }
  return f.error.empty();
}

bool close_point_file(point_file& f) {
  const bool written = flush_points(f);
  if (f.fd >= 0 && ::close(f.fd) != 0 && written) {
    f.error = std::string("closing ./RESULT/lL.txt failed: ") + std::strerror(errno);
  }
  f.fd = -1;
  return f.error.empty();
}
