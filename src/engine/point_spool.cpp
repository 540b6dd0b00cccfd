// Unnamed spool files: created, written and read with positioned calls, so that the worker
// writing and the engine reading never share a file offset.
#include "engine/point_spool.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

std::string spool_dir_or_default(const std::string& dir) {
  if (!dir.empty()) {
    return dir;
  }
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

// pread and pwrite may move fewer bytes than asked, and may be interrupted by a signal.
template <typename Io, typename Byte>
bool transfer_all(Io io, int fd, Byte* bytes, long long size, long long offset) {
  while (0 < size) {
    const ssize_t n = io(fd, bytes, static_cast<std::size_t>(size), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    bytes += n;
    size -= n;
    offset += n;
  }
  return true;
}

}  // namespace

int open_spool(const std::string& dir) {
  const std::string where = spool_dir_or_default(dir);
#ifdef O_TMPFILE
  const int fd = ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (0 <= fd) {
    return fd;
  }
#endif
  std::string name = where + "/.trivella-spool-XXXXXX";
  std::vector<char> path(name.begin(), name.end());
  path.push_back('\0');
  const int named = ::mkostemp(path.data(), O_CLOEXEC);
  if (named < 0) {
    return -1;
  }
  ::unlink(path.data());
  return named;
}

bool spool_write(int fd, long long at, std::span<const section_point> points) {
  const auto* bytes = reinterpret_cast<const char*>(points.data());
  const auto size = static_cast<long long>(points.size_bytes());
  return transfer_all(::pwrite, fd, bytes, size, at * spool_point_bytes);
}

bool spool_read(int fd, long long at, std::span<section_point> points) {
  auto* bytes = reinterpret_cast<char*>(points.data());
  const auto size = static_cast<long long>(points.size_bytes());
  return transfer_all(::pread, fd, bytes, size, at * spool_point_bytes);
}

void close_spool(int fd) {
  if (0 <= fd) {
    ::close(fd);
  }
}
