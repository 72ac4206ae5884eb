#include <stdio.h>
#include <string.h>

#include "device/blindscan_device.h"

namespace blindscan::device {

int format_device_path(char (&path)[path_area_size], int32_t device_number) {
  memset(path, 0, sizeof(path));
  return snprintf(path, sizeof(path), "%s%d", node_prefix, static_cast<int>(device_number));
}

}  // namespace blindscan::device
