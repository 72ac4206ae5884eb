// Whole files read in, up to a bound.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "kit/result.h"

namespace blindscan::kit {

// The most any input of the kit's commands holds (a sky, a list, a report,
// records or answers): text some kilobytes long.  The bound keeps a wrong
// file (a device such as /dev/zero, an image) from being read for ever.
inline constexpr size_t input_limit_bytes = 16 << 20;

// The whole contents of path, refused once it holds more than
// input_limit_bytes.  kind says what the file is, with its article ("a
// report"), for that failure.
result<std::string> read_file(const std::string& path, std::string_view kind);

}  // namespace blindscan::kit
