// One carrier of a satellite, as its sky or published list gives it.
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

// How the kit's outputs spell a polarisation and a delivery system.
inline const char* polarisation_letter(bool vertical) { return vertical ? "V" : "H"; }
inline const char* system_name(device::delivery_system system) {
  return system == device::delivery_system::dvb_s2 ? "DVB-S2" : "DVB-S";
}

}  // namespace blindscan::kit
