#include "emulator/plumbing/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace blindscan::emulator {

namespace {

bool is_directory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

result<void> write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return failure{std::strerror(errno)};
    if (written == 0) return failure{"the file takes no more bytes"};
    data.remove_prefix(static_cast<size_t>(written));
  }
  return {};
}

event_sink log_to(int fd) {
  if (fd < 0) return [](std::string_view) {};
  return [fd](std::string_view line) { (void)write_all(fd, std::string(line) + '\n'); };
}

result<void> write_file(const std::string& path, std::string_view text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return failure{path + ": cannot open: " + std::strerror(errno)};
  const result<void> written = write_all(fd, text);
  ::close(fd);
  if (!written) return failure{path + ": cannot write: " + written.error()};
  return {};
}

result<std::string> read_file(const std::string& path, size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failure{path + ": cannot read: " + std::strerror(errno)};
  std::string contents;
  char chunk[65536];
  while (true) {
    const ssize_t got = ::read(fd, chunk, sizeof(chunk));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      return failure{path + ": cannot read: " + std::strerror(error)};
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

result<std::string> satellite_file(std::string_view directory, std::string_view name) {
  const std::string where(directory);
  if (!is_directory(where))
    return failure{where +
                   " is missing: the published transponder lists come with the package "
                   "dtv-scan-tables (apt-get install dtv-scan-tables)"};
  const std::string path = where + "/" + std::string(name);
  if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == ".." ||
      access(path.c_str(), F_OK) != 0)
    return failure{"no satellite '" + std::string(name) + "' in " + where + " (ls " + where +
                   " lists the names)"};
  return path;
}

}  // namespace blindscan::emulator
