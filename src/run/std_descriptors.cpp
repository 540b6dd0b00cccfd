// Descriptors 0, 1 and 2 are filled lowest first, so that open(2), which takes the lowest free
// number, lands on the one being filled.
#include "run/std_descriptors.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

bool fill_closed_std_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened != fd) {
      if (opened >= 0) {
        ::close(opened);
      }
      return false;
    }
  }
  return true;
}

bool stdout_written() { return std::fflush(stdout) == 0 && std::ferror(stdout) == 0; }
