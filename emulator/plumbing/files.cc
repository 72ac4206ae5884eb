#include "emulator/plumbing/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "report/write_all.h"

namespace blindscan::emulator {

bool is_directory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

event_sink log_to(int fd) {
  if (fd < 0) return [](std::string_view) {};
  return [fd](std::string_view line) {
    const std::string whole = std::string(line) + '\n';
    (void)report::write_all(fd, whole.data(), whole.size());
  };
}

result<void> write_file(const std::string& path, std::string_view text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return failed(path + ": cannot open");
  result<void> written;
  if (!report::write_all(fd, text.data(), text.size())) written = failed(path + ": cannot write");
  ::close(fd);
  return written;
}

result<std::string> read_file(const std::string& path, size_t limit) {
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
    if (contents.size() + static_cast<size_t>(got) > limit) {
      ::close(fd);
      return failure{path + ": larger than " + std::to_string(limit) +
                     " bytes, more than a sky or records file holds"};
    }
    contents.append(chunk, static_cast<size_t>(got));
  }
  ::close(fd);
  return contents;
}

}  // namespace blindscan::emulator
