#include "kit/read_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "kit/messages.h"

namespace blindscan::kit {

result<std::string> read_file(const std::string& path, std::string_view kind) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failed(path + ": cannot read");
  std::string contents;
  char chunk[65536];
  while (true) {
    const ssize_t got = ::read(fd, chunk, sizeof(chunk));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const failure reading = failed(path + ": cannot read");
      ::close(fd);
      return reading;
    }
    if (got == 0) break;
    if (contents.size() + static_cast<size_t>(got) > input_limit_bytes) {
      ::close(fd);
      return failure{path + ": larger than " + std::to_string(input_limit_bytes) + " bytes, more than " +
                     std::string(kind) + " holds"};
    }
    contents.append(chunk, static_cast<size_t>(got));
  }
  ::close(fd);
  return contents;
}

}  // namespace blindscan::kit
