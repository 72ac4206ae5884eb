#include "tool/arguments.h"

#include <stdint.h>
#include <stdlib.h>

namespace blindscan::tool {

int32_t convert_argument(const char* text) {
  const long value = strtol(text, nullptr, 0);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

arguments convert_arguments(const char* const* argv) {
  arguments converted{};
  converted.device_number = convert_argument(argv[1]);
  device::blindscan_request& request = converted.request;
  request.min_freq = convert_argument(argv[2]);
  request.max_freq = convert_argument(argv[3]);
  request.min_symbol = convert_argument(argv[4]);
  request.max_symbol = convert_argument(argv[5]);
  request.pol = convert_argument(argv[6]);
  request.hilow_band = convert_argument(argv[7]);
  return converted;
}

}  // namespace blindscan::tool
