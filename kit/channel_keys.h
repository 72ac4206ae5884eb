// The DVBv5 channel file's words, as blindscan-channels writes them and the
// sky reader takes a published list or a written file back: the keys of an
// entry and the values a sweep's carriers need.
#pragma once

#include <string_view>

#include "device/blindscan_device.h"

namespace blindscan::kit::channel_keys {

inline constexpr char delivery_system[] = "DELIVERY_SYSTEM";
inline constexpr char frequency[] = "FREQUENCY";  // kHz
inline constexpr char polarization[] = "POLARIZATION";
inline constexpr char symbol_rate[] = "SYMBOL_RATE";  // symbols per second
inline constexpr char inner_fec[] = "INNER_FEC";
inline constexpr char modulation[] = "MODULATION";
inline constexpr char inversion[] = "INVERSION";
inline constexpr char rolloff[] = "ROLLOFF";
inline constexpr char pilot[] = "PILOT";

// The delivery systems' values.
inline constexpr char dvbs[] = "DVBS";
inline constexpr char dvbs2[] = "DVBS2";
inline constexpr const char* system_value(device::delivery_system system) {
  return system == device::delivery_system::dvb_s2 ? dvbs2 : dvbs;
}

// The polarisations' values.  An LNB's 18 V selects horizontal and
// left-hand circular, 13 V vertical and right-hand circular, so a circular
// list reads as the linear polarisation of the same voltage.
inline constexpr char horizontal[] = "HORIZONTAL";
inline constexpr char vertical[] = "VERTICAL";
inline constexpr char left[] = "LEFT";
inline constexpr char right[] = "RIGHT";
inline constexpr const char* polarization_value(bool is_vertical) {
  return is_vertical ? vertical : horizontal;
}

}  // namespace blindscan::kit::channel_keys
