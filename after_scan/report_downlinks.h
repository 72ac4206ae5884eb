// A report's carriers at their true downlink frequencies: the tool's report
// adds its own oscillators, so through another LNB each line is brought back
// by the band and polarisation of the sweep that gave it.
#pragma once

#include <string>
#include <vector>

#include "after_scan/command_line.h"
#include "after_scan/comparison.h"
#include "kit/lnb.h"
#include "kit/report_lines.h"
#include "kit/result.h"

namespace blindscan::after_scan {

// The carriers with each one's frequency the downlink through dish, by the
// sweep of its run: the n-th run of the tool over the inputs in turn is the
// n-th sweep.  A run's "open path" line comes after its report in a file and
// before it on a terminal; an input's report lines before its first such
// line, or after its last, tell which.  A failure says why a line's sweep
// cannot be told (no "open path" line and more than one sweep, more runs
// than sweeps, a line of the other polarisation) or its downlink cannot.
// Each carrier's run becomes its sweep's index.
kit::result<std::vector<kit::reported_carrier>> downlinks_through(
    const std::vector<kit::reported_carrier>& carriers, const std::vector<report_input>& inputs,
    const std::vector<sweep>& sweeps, const kit::lnb& dish);

}  // namespace blindscan::after_scan
