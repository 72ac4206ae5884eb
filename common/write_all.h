// Writing a whole buffer to a descriptor: the tool's report, and the driver
// stand-in's files and log, go out through this one loop.
#pragma once

#include <stddef.h>

namespace blindscan::common {

// Writes all of data to fd, continuing after short writes and interrupted
// calls, and waiting while a non-blocking descriptor is full.  Returns false
// when the descriptor stops taking bytes (errno then says why, where a
// write failed).
bool write_all(int fd, const char* data, size_t length);

}  // namespace blindscan::common
