// The driver's event log: one line per event, written with one write() each
// so a reader sees whole lines as they happen.  The line formats are an
// interface for tests; the README lists them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "device/blindscan_device.h"

namespace blindscan::emulator {

namespace events {

std::string mounted(std::string_view path);
std::string open(int flags);
std::string ioctl(unsigned cmd, const device::blindscan_request& request);
std::string ioctl_unknown(unsigned cmd, int error);
std::string ioctl_failed(int error);
std::string ioctl_interrupted();
std::string read(size_t size, size_t delivered);
std::string read_failed(size_t size, int error);
std::string write_refused(size_t size);
std::string release();

// Open flags as names: the access mode, then every other flag set, joined by
// '|', unknown bits in hex.  O_LARGEFILE is left out: a 64-bit kernel adds it
// to every open.
std::string open_flags(int flags);

}  // namespace events

class event_log {
 public:
  // Appends to fd; a negative fd logs nothing.  The log does not own fd.
  explicit event_log(int fd) : fd_(fd) {}
  void write(const std::string& line) const;

 private:
  int fd_;
};

}  // namespace blindscan::emulator
