// The emulated satellite: a list of transponders, the text format they are
// read from, and the blind search over them that answers a scan request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"
#include "emulator/result.h"

namespace blindscan::emulator {

struct transponder {
  uint32_t downlink_khz;
  bool vertical;
  uint32_t symbol_rate;  // kSym/s
  device::delivery_system system;
};

// Parses a sky file: one transponder per line, "FREQUENCY_KHZ POL SYMBOL_RATE
// SYSTEM" (POL H or V, SYSTEM DVB-S or DVB-S2); '#' starts a comment, blank
// lines are ignored.  The failure reads "SOURCE:LINE: what is wrong", with
// source_name as SOURCE.
result<std::vector<transponder>> parse_sky(std::string_view text, std::string_view source_name);

// The sky built into the emulator, and the name its messages carry.
extern const std::string_view default_sky_text;
inline constexpr std::string_view default_sky_name = "built-in sky";

// Local-oscillator frequency of the LNB band a request selects, kHz.
constexpr int64_t lnb_oscillator_khz(int32_t hilow_band) { return hilow_band == 0 ? 9'750'000 : 10'600'000; }

// Flag bits the emulated driver sets besides the delivery system, so that a
// reader that does not mask them notices.
inline constexpr uint32_t flag_carrier_locked = 1u << 0;
inline constexpr uint32_t flag_fec_locked = 1u << 1;
inline constexpr uint32_t flag_vertical = 1u << 5;
inline constexpr uint32_t flag_blind_search = 1u << 31;

uint32_t record_flags(const transponder& found);

// The blind search: the transponders of the requested polarisation (pol 0
// horizontal, else vertical) whose tuner frequency (downlink minus the band's
// oscillator) lies in [min_freq, max_freq] MHz and whose symbol rate lies in
// [min_symbol, max_symbol] kSym/s, as records in ascending tuner frequency.
// A tuner frequency below zero is delivered modulo 2^32, as the hardware's
// 32-bit register would hold it.
std::vector<device::blindscan_result> blind_search(const std::vector<transponder>& sky,
                                                   const device::blindscan_request& request);

}  // namespace blindscan::emulator
