#include <string.h>

#include "device/blindscan_device.h"
#include "device/decimal.h"

namespace blindscan::device {

void format_device_path(char (&path)[path_area_size], int32_t device_number) {
  memset(path, 0, sizeof(path));
  constexpr int prefix_length = sizeof(node_prefix) - 1;
  memcpy(path, node_prefix, prefix_length);
  format_signed_decimal(path + prefix_length, device_number);
}

}  // namespace blindscan::device
