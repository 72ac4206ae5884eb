// The blind search over the emulated sky that answers a scan request, and
// the records it reports.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "device/blindscan_device.h"
#include "kit/lnb.h"
#include "kit/transponder.h"

namespace blindscan::kit {

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
// horizontal, else vertical) that dish delivers on the request's band and
// polarisation, whose intermediate frequency (through the dish's oscillator)
// lies in [min_freq, max_freq] MHz and whose symbol rate lies in
// [min_symbol, max_symbol] kSym/s, as records of that frequency in kHz, in
// ascending order.  Which are found and their order follow from the true
// values; each is then reported with jitter's offsets.  An intermediate
// frequency below zero is delivered modulo 2^32, as the hardware's 32-bit
// register would hold it.
std::vector<device::blindscan_result> blind_search(const std::vector<transponder>& sky,
                                                   const device::blindscan_request& request,
                                                   const measurement_jitter& jitter = {},
                                                   const lnb& dish = tool_bands());

}  // namespace blindscan::kit
