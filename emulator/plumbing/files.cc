#include "emulator/plumbing/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/write_all.h"

namespace blindscan::emulator {

bool is_directory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

event_sink log_to(int fd) {
  if (fd < 0) return [](std::string_view) {};
  return [fd](std::string_view line) {
    const std::string whole = std::string(line) + '\n';
    (void)common::write_all(fd, whole.data(), whole.size());
  };
}

kit::result<void> write_file(const std::string& path, std::string_view text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return kit::failed(path + ": cannot open");
  kit::result<void> written;
  if (!common::write_all(fd, text.data(), text.size())) written = kit::failed(path + ": cannot write");
  ::close(fd);
  return written;
}

}  // namespace blindscan::emulator
