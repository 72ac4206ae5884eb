// The command line: seven positional arguments, their conversion and the
// usage text.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "device/blindscan_device.h"

namespace blindscan::tool {

inline constexpr int argument_count = 7;  // after the program name

// Front ends match these bytes as they are, like the failure line in run.cc
// that has no closing parenthesis: the misspelt "min_frqe", the fixed
// "./mivo_blindscan" and the missing device number are not to be corrected.
inline constexpr char usage_text[] =
    "./mivo_blindscan min_frqe max_freq min_symbol max_symbol pol hilow_band";
inline constexpr size_t usage_length = sizeof(usage_text) - 1;
static_assert(usage_length == 71);

struct arguments {
  int32_t device_number;
  device::blindscan_request request;
};

// Converts argv[1] to argv[7], each as common::convert_argument reads a
// number: the device number first, then the six request fields in argument
// order.  argv must hold argument_count arguments.
arguments convert_arguments(const char* const* argv);

}  // namespace blindscan::tool
