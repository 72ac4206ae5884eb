// A report read back as the runs of the tool that printed it, each run
// placed on the sweep that made it, and its carriers brought to their
// downlinks through the dish's LNB.  Every after-scan command reads its
// reports through here, so that what one accepts the others accept.
#pragma once

#include <string>
#include <vector>

#include "kit/lnb.h"
#include "kit/report_lines.h"
#include "kit/result.h"
#include "kit/sweeps.h"

namespace blindscan::kit {

// One input of a report as read: its name for messages, and its carriers,
// each numbered by its stretch between "open path" lines.
struct report_input {
  std::string name;
  scan_report read;
};

// Each input in turn ("-" is standard input; none, standard input alone),
// read whole.  A failure when one cannot be read or holds a broken report
// line, or when none holds a line of the tool's output at all (a report
// line or an "open path" line), or, with carriers_needed, no report line.
result<std::vector<report_input>> read_report_inputs(const std::vector<std::string>& names, symbol_unit unit,
                                                     bool carriers_needed);

// A report's carriers and the sweeps that made them.  Its runs are told
// apart when each run is placed on its sweep: the n-th run of the tool over
// the inputs in turn on the n-th sweep, each carrier then carrying its
// sweep's index; otherwise every carrier's sweep is -1 and untold says why.
struct placed_report {
  std::vector<sweep> sweeps;
  std::vector<std::string> inputs;         // their names, by reported_carrier::input
  std::vector<reported_carrier> carriers;  // in the order read
  size_t runs = 0;                         // the runs of the tool the inputs hold
  std::string untold;                      // why the runs are not placed; empty where they are
};

inline bool runs_told(const placed_report& report) { return report.untold.empty(); }

// The carriers the run of the report's sweep numbered sweep reported.
std::vector<const reported_carrier*> lines_of(const placed_report& report, size_t sweep);

// The inputs' runs placed on sweeps, their carriers' frequencies as
// reported.  An input's runs are its stretches between "open path" lines:
// in a file each run's report comes before its line, on a terminal after
// it; an input without such a line is one run.  Where the first and last
// stretches of an input hold nothing, the order that fits the sweeps (the
// polarisation of each run's lines and the sweep's range) is taken.  The
// runs stay untold where the order cannot be told, where the inputs hold
// more or fewer runs than there are sweeps, or where a run's line does not
// fit its sweep (another polarisation, or beyond the sweep's range by more
// than the line's tolerance).
placed_report place_runs(const std::vector<report_input>& inputs, std::vector<sweep> sweeps);

// The report with each carrier's frequency the downlink through dish (the
// report adds the tool's own oscillators; reported_downlink_khz).  A carrier
// whose run is untold is brought through every sweep that could have
// reported it (its polarisation, its intermediate frequency within the
// sweep's range), and refused, with why its run is untold, where they bring
// it to different downlinks.  The failure names the input and the carrier.
result<placed_report> through(const placed_report& report, const lnb& dish);

}  // namespace blindscan::kit
