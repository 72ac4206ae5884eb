#include "common/write_all.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

namespace blindscan::common {

namespace {

// A descriptor inherited in non-blocking mode refuses bytes while it is
// full; wait until it takes them again.
bool wait_until_writable(int fd) {
  pollfd entry{fd, POLLOUT, 0};
  while (true) {
    const int ready = poll(&entry, 1, -1);
    if (ready > 0) return (entry.revents & (POLLERR | POLLNVAL)) == 0;
    if (ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace

bool write_all(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, data, length);
    if (written > 0) {
      data += written;
      length -= static_cast<size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!wait_until_writable(fd)) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace blindscan::common
