// Files: whether a path is a directory, the event log, and whole files in
// and out (a file read only up to a bound).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "emulator/common/messages.h"
#include "emulator/model/events.h"

namespace blindscan::emulator {

// Whether path names a directory, or a link to one.
bool is_directory(const std::string& path);

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

}  // namespace blindscan::emulator
