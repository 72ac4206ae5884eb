// Whole files in and out: writing everything or failing, the event log,
// reading a file of bounded size, and finding a satellite's published
// transponder list.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "emulator/model/events.h"
#include "emulator/model/result.h"

namespace blindscan::emulator {

// Writes all of data to fd, continuing after short writes and interrupted
// calls; the failure is the reason the descriptor stopped taking bytes.
result<void> write_all(int fd, std::string_view data);

// The driver's event log on fd: each line written whole, with its line
// feed, as it comes, so that a reader sees whole lines.  A negative fd logs
// nothing, and a log that stops taking lines does not stop the driver.
event_sink log_to(int fd);

// Writes text to the existing file at path, all of it.
result<void> write_file(const std::string& path, std::string_view text);

// The whole contents of path, refused once it holds more than limit bytes
// (a device such as /dev/zero never ends).
result<std::string> read_file(const std::string& path, size_t limit);

// The largest sky or records file the emulator reads.
inline constexpr size_t input_file_limit = 16 << 20;

// The path of satellite name's list in directory; the failure says whether
// the name or the whole directory is missing and what to do about it.
result<std::string> satellite_file(std::string_view directory, std::string_view name);

}  // namespace blindscan::emulator
