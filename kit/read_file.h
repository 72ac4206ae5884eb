// Whole files read in, up to a bound.
#pragma once

#include <cstddef>
#include <string>

#include "kit/result.h"

namespace blindscan::kit {

// The whole contents of path, refused once it holds more than limit bytes
// (a device such as /dev/zero never ends).
result<std::string> read_file(const std::string& path, size_t limit);

// The largest sky or records file the emulator reads.
inline constexpr size_t input_file_limit = 16 << 20;

}  // namespace blindscan::kit
