// One carrier of a satellite, as its sky or published list gives it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/report_words.h"
#include "device/blindscan_device.h"

namespace blindscan::kit {

struct transponder {
  uint32_t downlink_khz;
  bool vertical;
  uint32_t symbol_rate;  // kSym/s
  device::delivery_system system;

  friend bool operator==(const transponder&, const transponder&) = default;
};

// How the kit's outputs and sky files spell a polarisation: V or H (a sky
// file's lower case too).
inline const char* polarisation_letter(bool vertical) { return vertical ? "V" : "H"; }
inline std::optional<bool> polarisation_of_letter(std::string_view letter) {
  if (letter == "H" || letter == "h") return false;
  if (letter == "V" || letter == "v") return true;
  return std::nullopt;
}

// A delivery system as the report names it: DVB-S or DVB-S2.
inline const char* system_name(device::delivery_system system) {
  return system == device::delivery_system::dvb_s2 ? common::report_words::dvb_s2
                                                   : common::report_words::dvb_s;
}
inline std::optional<device::delivery_system> system_of_name(std::string_view name) {
  if (name == common::report_words::dvb_s) return device::delivery_system::dvb_s;
  if (name == common::report_words::dvb_s2) return device::delivery_system::dvb_s2;
  return std::nullopt;
}

// A symbol rate in symbols per second as whole kSym/s, the nearest.
inline uint32_t nearest_ksym(uint64_t symbols) { return static_cast<uint32_t>((symbols + 500) / 1000); }

}  // namespace blindscan::kit
