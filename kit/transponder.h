// One carrier of the emulated satellite, as its sky lists it.
#pragma once

#include <cstdint>

#include "device/blindscan_device.h"

namespace blindscan::kit {

struct transponder {
  uint32_t downlink_khz;
  bool vertical;
  uint32_t symbol_rate;  // kSym/s
  device::delivery_system system;

  friend bool operator==(const transponder&, const transponder&) = default;
};

}  // namespace blindscan::kit
