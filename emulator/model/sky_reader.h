// The emulated satellite: a list of transponders and the two text formats
// it is read from.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"
#include "emulator/model/result.h"

namespace blindscan::emulator {

struct transponder {
  uint32_t downlink_khz;
  bool vertical;
  uint32_t symbol_rate;  // kSym/s
  device::delivery_system system;

  friend bool operator==(const transponder&, const transponder&) = default;
};

// Parses a sky file in one of two formats, told apart by the first line
// that holds something ('#' starts a comment; blank lines are ignored):
// - the own format: one transponder per line, "FREQUENCY_KHZ POL
//   SYMBOL_RATE SYSTEM" (POL H or V, SYSTEM DVB-S or DVB-S2); a frequency
//   and polarisation given twice is an error;
// - a published channel list: entries that start with "[NAME]", followed
//   by "KEY = value" lines, of which FREQUENCY (kHz), POLARIZATION
//   (HORIZONTAL or LEFT, VERTICAL or RIGHT), SYMBOL_RATE (symbols per
//   second, rounded to kSym/s) and DELIVERY_SYSTEM (DVBS or DVBS2) are
//   needed and the rest ignored; a frequency and polarisation listed again
//   (a multistream carrier, once per stream) keeps its first entry.
// The failure reads "SOURCE:LINE: what is wrong", with source_name as SOURCE.
result<std::vector<transponder>> parse_sky(std::string_view text, std::string_view source_name);

// The sky built into the emulator (default.sky), and the name its messages carry.
extern const std::string_view default_sky_text;
inline constexpr std::string_view default_sky_name = "built-in sky";

}  // namespace blindscan::emulator
