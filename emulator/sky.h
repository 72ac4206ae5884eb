// The emulated satellite: a list of transponders, the text format they are
// read from, and the blind search over them that answers a scan request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/blindscan_device.h"
#include "emulator/result.h"

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

// How far a search reports each carrier off its true frequency and symbol
// rate, as a real demodulator measures them: a whole number of kHz in
// [-khz, khz] and of kSym/s in [-ksym, ksym] (the rate never below 1), drawn
// from seed and the carrier alone, so that a carrier is reported the same
// in every search with the same seed.
struct measurement_jitter {
  uint32_t khz = 0;
  uint32_t ksym = 0;
  uint64_t seed = 1;
};

// The offsets, kHz and kSym/s, at which jitter reports carrier.
std::pair<int64_t, int64_t> jitter_offsets(const transponder& carrier, const measurement_jitter& jitter);

// The blind search: the transponders of the requested polarisation (pol 0
// horizontal, else vertical) whose tuner frequency (downlink minus the band's
// oscillator) lies in [min_freq, max_freq] MHz and whose symbol rate lies in
// [min_symbol, max_symbol] kSym/s, as records in ascending tuner frequency.
// Which are found and their order follow from the true values; each is
// then reported with jitter's offsets.  A tuner frequency below zero is
// delivered modulo 2^32, as the hardware's 32-bit register would hold it.
std::vector<device::blindscan_result> blind_search(const std::vector<transponder>& sky,
                                                   const device::blindscan_request& request,
                                                   const measurement_jitter& jitter = {});

}  // namespace blindscan::emulator
