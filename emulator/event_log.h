// The driver's event log: one line per event, each written whole as it
// happens, so a reader sees whole lines.  Tests read the lines, so their
// formats stay as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "device/blindscan_device.h"

namespace blindscan::emulator {

namespace events {

std::string mounted(std::string_view path);
std::string opened(int flags);
std::string scan_requested(unsigned cmd, const device::blindscan_request& request);
std::string unknown_request(unsigned cmd, int error);
std::string scan_failed(int error);
std::string scan_interrupted();
std::string records_read(size_t size, size_t delivered);
std::string read_failed(size_t size, int error);
std::string write_refused(size_t size);
std::string released();

// Open flags as names: the access mode, then every other flag set, joined by
// '|', unknown bits in hex.  O_LARGEFILE is left out: a 64-bit kernel adds it
// to every open.
std::string open_flags(int flags);

}  // namespace events

class event_log {
 public:
  // Appends to fd; a negative fd logs nothing.  The log does not own fd.
  explicit event_log(int fd) : fd_(fd) {}
  void write(std::string_view line) const;

 private:
  int fd_;
};

}  // namespace blindscan::emulator
