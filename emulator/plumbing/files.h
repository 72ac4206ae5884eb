// Files: whether a path is a directory, the event log, and whole files
// written out.
#pragma once

#include <string>
#include <string_view>

#include "emulator/model/events.h"
#include "kit/messages.h"

namespace blindscan::emulator {

// Whether path names a directory, or a link to one.
bool is_directory(const std::string& path);

// The driver's event log on fd: each line written whole, with its line
// feed, as it comes, so that a reader sees whole lines.  A negative fd logs
// nothing, and a log that stops taking lines does not stop the driver.
event_sink log_to(int fd);

// Writes text to the existing file at path, all of it.
kit::result<void> write_file(const std::string& path, std::string_view text);

}  // namespace blindscan::emulator
