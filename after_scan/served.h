// How each sweep was served: the band and polarisation its request asked
// for, or, where the 22 kHz tone or the supply voltage did not reach the LNB
// as asked, those the report's carriers show it got instead.
#pragma once

#include <string>
#include <vector>

#include "after_scan/oscillators.h"
#include "kit/installation_faults.h"
#include "kit/lnb.h"
#include "kit/report_runs.h"

namespace blindscan::after_scan {

// A sweep's request as served, and the faults that made it differ from the
// one asked for.
struct served_sweep {
  device::blindscan_request request;
  std::vector<kit::installation_fault> faults;
  size_t matched_as_asked = 0;   // its carriers listed as the request asked
  size_t matched_as_served = 0;  // and as served
  // Served otherwise because it found nothing listed, as it would have
  // served so (the band it got holds none listed), rather than because it
  // found the other band's carriers.
  bool by_absence = false;
  size_t reached_listed = 0;  // the listed carriers it reaches as asked, where found by absence
};

// The carriers of a sweep listed under a served request clearly more often
// than under the one asked for: twice as many, and this many more.
inline constexpr size_t clearly_more_served = 3;
// And found as asked by chance alone: one, or this share (1/N) of them.
inline constexpr size_t hardly_any_share = 10;

// Each sweep as served: where the report's runs are told apart, a sweep's
// carriers brought down through another band or polarisation (the tone or
// the voltage the other way) that the list holds clearly more often than as
// asked for were served so; as were those of a sweep that found none of
// the listed carriers it reaches as asked, where served so it reaches none
// (the band or polarisation it got holds none listed).  Their offsets are
// those measured.
std::vector<served_sweep> served_sweeps(const kit::placed_report& report,
                                        const std::vector<kit::transponder>& list,
                                        const listed_by_frequency& index, const kit::lnb& dish,
                                        const std::vector<oscillator_measure>& measures);

// The report's carriers as served: each brought down through its sweep as
// served, its oscillator's offset corrected; a carrier that its sweep's
// served band cannot bring down keeps its downlink as asked.
std::vector<kit::reported_carrier> as_served(const kit::placed_report& report,
                                             const std::vector<served_sweep>& served, const kit::lnb& dish,
                                             const std::vector<oscillator_measure>& measures);

}  // namespace blindscan::after_scan
