// A scan's carriers checked against a published list: which listed
// transponders were found, why each of the others was missed, and which
// carriers the list does not hold.  What a sweep can reach is decided by the
// stand-in's own blind search over the list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "after_scan/tsv_headers.h"
#include "device/blindscan_device.h"
#include "kit/lnb.h"
#include "kit/report_lines.h"
#include "kit/report_runs.h"
#include "kit/result.h"
#include "kit/sweeps.h"
#include "kit/transponder.h"

namespace blindscan::after_scan {

// The intermediate range a satellite tuner takes, MHz: a whole sweep's.
using kit::tuner_highest_mhz;
using kit::tuner_lowest_mhz;

using kit::parse_sweep;
using kit::sweep;
using kit::whole_sweeps;

enum class verdict {
  found,
  out_of_range,  // no sweep of its polarisation reached its frequency
  symbol_rate_out_of_range,
  record_cap,  // only sweeps that filled their records before it reached it
  // only sweeps whose own lines end below it: a read cut short, a scan
  // interrupted, or the cap filled by carriers the list does not hold
  sweep_ended_early,
  not_found,  // in range and not found: the dish, the cable, the driver
};

struct listed_outcome {
  kit::transponder listed;
  verdict result;
  std::string detail;  // the offsets of the carrier found, or why it was missed
};

struct extra_carrier {
  kit::reported_carrier carrier;
  std::string detail;  // unpublished, off a listed frequency, or outside every sweep
};

struct comparison {
  std::vector<listed_outcome> listed;  // in the list's order
  std::vector<extra_carrier> extras;   // in ascending frequency
  std::string finding;                 // about the whole list, or empty
};

// The report's carriers, their downlinks through dish (kit::through), against
// the list.  Where the report's runs are told apart, a sweep whose lines end
// early is named for the listed carriers beyond its end.  What a sweep
// reaches is the blind search through dish.  An LNB that takes none of the
// listed downlinks is the comparison's finding.
comparison compare(const std::vector<kit::transponder>& list, const kit::placed_report& report,
                   const kit::lnb& dish = kit::tool_bands());

// How well a report fits a list through a dish: of the report's distinct
// carriers (downlinks through dish), how many are listed ones, paired as
// compare pairs them, and how many listed transponders the sweeps reach.
struct fit {
  size_t matched;
  size_t reported;
  size_t in_range;
};
fit fit_of(const std::vector<kit::transponder>& list, const kit::placed_report& report, const kit::lnb& dish);

// "NAME: N listed, N found, N missed (N out of range, ...), N extra"; the
// count of carriers beyond a sweep that ended early only where there are any;
// then "; " and the finding where there is one.
std::string summary_line(std::string_view list_name, const comparison& compared);

// One line per listed transponder and per extra carrier, in ascending
// frequency, under a heading: what, polarisation, frequency (kHz), symbol
// rate (kSym/s), delivery system and the detail.
std::string table(const comparison& compared);

// The rows of that table as tab-separated values under the header line
// comparison_tsv_header, for programs.
std::string tab_separated_table(const comparison& compared);

// 1 when a listed transponder was in range and not found, else 0.
int exit_status(const comparison& compared);

}  // namespace blindscan::after_scan
