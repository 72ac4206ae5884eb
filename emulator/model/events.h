// The lines of the driver's event log, one per event.  Tests and scripts
// read them, so their formats stay as they are.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "device/blindscan_device.h"

namespace blindscan::emulator {

// Where the driver hands each line as its event happens.
using event_sink = std::function<void(std::string_view line)>;

namespace events {

std::string mounted(std::string_view path);
std::string opened(int flags);
std::string open_failed(int flags, int error);
std::string scan_requested(unsigned cmd, const device::blindscan_request& request);
std::string unknown_request(unsigned cmd, int error);
std::string scan_failed(int error);
std::string scan_unrecorded();
std::string scan_interrupted();
std::string read_interrupted();
std::string records_read(size_t size, size_t delivered);
std::string read_failed(size_t size, int error);
std::string write_refused(size_t size);
std::string released();

// Open flags as names: the access mode, then every other flag set, joined by
// '|', unknown bits in hex.  O_LARGEFILE is left out: a 64-bit kernel adds it
// to every open.
std::string open_flags(int flags);

}  // namespace events

}  // namespace blindscan::emulator
