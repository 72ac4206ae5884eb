// What a comparison finds of the dish and the list as a whole, from the
// pattern of what was found and missed, and the misses each finding
// explains: so that "in range and not found" is left for what nothing else
// explains.
#pragma once

#include <vector>

#include "after_scan/comparison.h"
#include "after_scan/oscillators.h"
#include "after_scan/served.h"
#include "kit/lnb.h"
#include "kit/report_runs.h"
#include "kit/transponder.h"

namespace blindscan::after_scan {

// What the comparison has made so far: the report's carriers as served (each
// with its sweep), and their sweeps as served.
struct comparing {
  const std::vector<kit::transponder>& list;
  const listed_by_frequency& index;
  const kit::placed_report& report;
  const std::vector<served_sweep>& served;
  const std::vector<kit::reported_carrier>& carriers;
  const kit::lnb& dish;
};

// The fewest carriers a pattern is read from.
inline constexpr size_t fewest_showing = 3;
// The fewest of the other polarisation's carriers that show a turned LNB:
// one may be a carrier listed in both.
inline constexpr size_t fewest_leaking = 2;
// Misses among found neighbours are a list out of date where no more than
// this share (percent) of what the sweeps reach is missed.
inline constexpr size_t most_missed_of_a_stale_list_percent = 25;

// Says each fault that served sweeps otherwise than asked (no-tone,
// tone-stuck, pol-stuck), with the sweeps and the carriers that show it.
void find_served_faults(const comparing& state, comparison& compared);

// Names the extras that are the other polarisation's listed carriers, and
// the skew that lets them in, where there are enough of them.
void find_skew(const comparing& state, comparison& compared);

// Where the carriers in range and not found all lie above one intermediate
// frequency, in two sweeps or more, while those below it are found: a long
// cable's loss (cable-loss); where they all have lower symbol rates than
// every carrier found: a demodulator that finds nothing below a rate
// (rate-floor).  Where no sweep is given, the sweeps assumed may not have
// reached them instead (sweeps-assumed), and the dish is not blamed.
void find_thresholds(const comparing& state, comparison& compared);

// Misses left among found neighbours, with carriers found that the list
// does not hold: the list may be out of date (list-out-of-date).
void find_stale_list(const comparing& state, comparison& compared);

// Another known LNB under which the report fits the list clearly better,
// or one that takes none of the listed downlinks (wrong-lnb).
void find_wrong_lnb(const comparing& state, comparison& compared);

}  // namespace blindscan::after_scan
