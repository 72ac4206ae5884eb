// The tool's report lines read back: the carriers a scan reported, as the
// tool printed them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"
#include "emulator/model/result.h"

namespace blindscan::after_scan {

// The unit of the symbol rates in a report: the driver prints its own, and
// the stand-in's is kSym/s.
enum class symbol_unit { sym, ksym, msym };

// The unit a name ("Sym/s", "kSym/s" or "MSym/s") stands for.
emulator::result<symbol_unit> parse_symbol_unit(std::string_view name);

// One report line's carrier.  The words after the delivery system are kept
// as a channel file spells them ("AUTO", "ON", "PSK/8", "35").
struct reported_carrier {
  bool vertical;
  uint32_t downlink_khz;
  uint64_t symbol_rate;  // symbols per second
  device::delivery_system system;
  std::string_view inversion;
  std::string_view pilot;
  std::string_view inner_fec;
  std::string_view modulation;
  std::string_view rolloff;
};

// The carriers of every line of text that starts with the status word OK, in
// order; every other line ("open path ...", a failed request, headings) is
// passed over.  A line that starts with OK but is not a whole report line is
// refused as "SOURCE:LINE: what is wrong".
emulator::result<std::vector<reported_carrier>> read_report(std::string_view text,
                                                            std::string_view source_name, symbol_unit unit);

// Whether two carriers of the same polarisation are one: their frequencies
// lie within a quarter of the symbol rate (symbols per second) of each other
// and so do their rates.  A receiver locks on a carrier a good share of its
// symbol rate off, and neighbouring carriers lie at least their occupied
// bandwidth (rate x 1.35) apart, so a quarter tells a measurement's error from
// another carrier.
bool within_tolerance(uint32_t khz_a, uint64_t rate_a, uint32_t khz_b, uint64_t rate_b, uint64_t symbol_rate);

// The carriers once each: a carrier reported again (from the overlap of both
// bands, or measured slightly apart) within the tolerance of one kept before
// is dropped.  The first report of each is kept, in ascending frequency.
std::vector<reported_carrier> distinct_carriers(const std::vector<reported_carrier>& carriers);

}  // namespace blindscan::after_scan
