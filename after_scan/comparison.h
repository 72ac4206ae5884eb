// A scan's carriers checked against a published list: which listed
// transponders were found, why each of the others was missed, and which
// carriers the list does not hold, through a real dish: its oscillators
// measured, the faults of its installation that the scan shows named, and
// the dish blamed only for what nothing else explains.  What a sweep can
// reach is decided by the stand-in's own blind search over the list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "after_scan/oscillators.h"
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
  explained,         // only sweeps that a finding of a fault says could not reach it
  sweeps_assumed,    // not found where the sweeps, not given, may not have reached
  list_out_of_date,  // not found among found neighbours, with carriers found the list lacks
  not_found,         // in range and not found: the dish, the cable or the driver
};

// What the scan shows of the dish or the list as a whole, with what shows
// it: a fault of the installation (by the id the driver stand-in serves it
// by: no-tone, tone-stuck, pol-stuck, skew, cable-loss, rate-floor), the
// wrong LNB (wrong-lnb), and what is not a fault: the sweeps assumed
// (sweeps-assumed) and a list out of date (list-out-of-date).
struct finding {
  std::string id;
  std::string text;
  bool fault;  // the installation or the LNB given is at fault: the status is 1
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
  std::vector<oscillator_measure> oscillators;
  std::vector<finding> findings;
};

// The report's carriers, their downlinks through dish (kit::through), against
// the list.  Each oscillator of the dish is measured and the carriers it
// brought down matched where it puts them.  Where the report's runs are told
// apart, a sweep whose carriers the list holds only as another band or
// polarisation would give them is found to have been served so (no-tone,
// tone-stuck, pol-stuck), and one whose lines end early is named for the
// listed carriers beyond its end.  What a sweep reaches is the blind search
// through dish.  Another known LNB under which the report fits the list
// clearly better is a finding (wrong-lnb).
comparison compare(const std::vector<kit::transponder>& list, const kit::placed_report& report,
                   const kit::lnb& dish = kit::tool_bands());

// "NAME: N listed, N found, N missed (N out of range, ...), N extra"; the
// counts of the reasons after record cap only where there are any.  Then a
// line for each oscillator measured and one for each finding.
std::string summary_line(std::string_view list_name, const comparison& compared);

// One line per listed transponder and per extra carrier, in ascending
// frequency, under a heading: what, polarisation, frequency (kHz), symbol
// rate (kSym/s), delivery system and the detail.
std::string table(const comparison& compared);

// The rows of that table as tab-separated values under the header line
// comparison_tsv_header, for programs, after a row for each oscillator
// measured and each finding: "oscillator", nothing, its frequency as
// measured in kHz (nominal where too few carriers were there), the carriers
// that measured it, nothing, and what the summary says of it; "finding",
// four fields of nothing, then "ID: " and what shows it.
std::string tab_separated_table(const comparison& compared);

// 1 when a listed transponder was in range and not found, or a finding is a
// fault, else 0.
int exit_status(const comparison& compared);

}  // namespace blindscan::after_scan
