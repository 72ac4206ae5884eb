// The tool's report lines read back: the carriers a scan reported, as the
// tool printed them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"
#include "kit/result.h"

namespace blindscan::kit {

// The unit of the symbol rates in a report: the driver prints its own, and
// the stand-in's is kSym/s.
enum class symbol_unit { sym, ksym, msym };

// The unit a name ("Sym/s", "kSym/s" or "MSym/s") stands for.
result<symbol_unit> parse_symbol_unit(std::string_view name);

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
  // Which run of the tool reported it: as read, the stretch of lines it
  // stands in (0 before the first "open path" line, n after the n-th); once
  // its runs are placed on their sweeps, its run.
  int run;
  int input = 0;                // which input of the report holds it
  int sweep = -1;               // the sweep whose run reported it; -1 where that cannot be told
  uint32_t reported_khz = 0;    // the frequency as the report gave it
  uint32_t oscillator_khz = 0;  // the dish's oscillator that brought it down; 0 where that cannot be told
};

// The carriers of an input, and its "open path" lines: one per run.
struct scan_report {
  std::vector<reported_carrier> carriers;
  int open_paths = 0;
};

// The carriers of every line of text that starts with the status word OK, in
// order; every other line ("open path ...", a failed request, headings) is
// passed over.  Each run of the tool prints one "open path" line, before its
// report on a terminal and after it in a file: each carrier's run is the
// stretch between those lines it stands in.  A line that starts with OK but
// is not a whole report line is refused as "SOURCE:LINE: what is wrong".
result<scan_report> read_report(std::string_view text, std::string_view source_name, symbol_unit unit);

// How far apart two frequencies or two symbol rates are.
uint64_t distance(uint64_t a, uint64_t b);

// The rule that tells one carrier from another.  Two carriers of the same
// polarisation are one when their frequencies lie within
// 1/tolerance_parts of the symbol rate (symbols per second) of each other,
// and so do their rates.  A receiver locks on a carrier a good share of its
// symbol rate off, and neighbouring carriers lie at least their occupied
// bandwidth (rate x 1.35) apart, so a quarter tells a measurement's error
// from another carrier.
inline constexpr uint64_t tolerance_parts = 4;

// The tolerance in kHz of a carrier of symbol_rate symbols per second.
constexpr uint64_t tolerance_khz(uint64_t symbol_rate) { return symbol_rate / (tolerance_parts * 1000); }

bool within_tolerance(uint32_t khz_a, uint64_t rate_a, uint32_t khz_b, uint64_t rate_b, uint64_t symbol_rate);

// The carriers once each: a carrier reported again, the same, or by another
// run (the overlap of both bands) within the tolerance of one kept before, is
// dropped; two carriers of one run are two, however close.  The first report
// of each is kept, in ascending frequency.
std::vector<reported_carrier> distinct_carriers(const std::vector<reported_carrier>& carriers);

}  // namespace blindscan::kit
