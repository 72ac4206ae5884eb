// The tool linked against a driver faked at link time: -Wl,--wrap sends the
// run's open, ioctl and read here.  Opening /dev/blindscan0 gives a
// descriptor that takes the scan request and whose read delivers
// FAKE_DRIVER_RECORDS records (0 when unset), all DVB-S at 1,000,000 kHz and
// 27,500; every other descriptor goes to the real calls.  With
// FAKE_DRIVER_WRITE_BYTES set, each write to descriptor 1 takes at most that
// many bytes, as a slow or nearly full output does; -1 makes it take none
// and return 0, which no write of some bytes should, so that a loop that
// waits for progress would wait for ever.
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "device/blindscan_device.h"
#include "tool/run.h"

namespace {

int fake_device = -1;

size_t scan_records() {
  const char* text = getenv("FAKE_DRIVER_RECORDS");
  const long count = text != nullptr ? strtol(text, nullptr, 10) : 0;
  if (count < 0 || count > blindscan::device::max_records) abort();
  return static_cast<size_t>(count);
}

// The most bytes one write to standard output takes; 0 for no limit, -1
// for none at all.
long write_limit() {
  const char* text = getenv("FAKE_DRIVER_WRITE_BYTES");
  const long limit = text != nullptr ? strtol(text, nullptr, 10) : 0;
  if (limit < -1) abort();
  return limit;
}

}  // namespace

extern "C" {
int __real_open(const char* path, int flags, ...);
int __real_ioctl(int fd, unsigned long request, void* argument);
ssize_t __real_read(int fd, void* buffer, size_t size);
ssize_t __real_write(int fd, const void* data, size_t size);

int __wrap_open(const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(rest, mode_t) : 0;
  va_end(rest);
  if (strcmp(path, "/dev/blindscan0") != 0) return __real_open(path, flags, mode);
  fake_device = __real_open("/dev/null", O_RDWR);
  return fake_device;
}

int __wrap_ioctl(int fd, unsigned long request, void* argument) {
  if (fd != fake_device) return __real_ioctl(fd, request, argument);
  return request == blindscan::device::AVL2108_SET_PARAMETER ? 0 : -1;
}

ssize_t __wrap_read(int fd, void* buffer, size_t size) {
  if (fd != fake_device) return __real_read(fd, buffer, size);
  const size_t count = scan_records();
  if (count * sizeof(blindscan::device::blindscan_result) > size) abort();
  auto* records = static_cast<blindscan::device::blindscan_result*>(buffer);
  for (size_t i = 0; i < count; ++i) records[i] = {1'000'000, 27'500, 0};
  return static_cast<ssize_t>(count * sizeof(blindscan::device::blindscan_result));
}

ssize_t __wrap_write(int fd, const void* data, size_t size) {
  const long limit = write_limit();
  if (fd != STDOUT_FILENO || limit == 0) return __real_write(fd, data, size);
  if (limit < 0) return 0;
  return __real_write(fd, data, size < static_cast<size_t>(limit) ? size : static_cast<size_t>(limit));
}
}

int main(int argc, char** argv) { return blindscan::tool::run(argc, argv); }
