#include "tool/arguments.h"

#include "common/convert_argument.h"

namespace blindscan::tool {

using common::convert_argument;

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
