#include "after_scan/report_downlinks.h"

#include <algorithm>

#include "kit/messages.h"

namespace blindscan::after_scan {

using kit::failure;

namespace {

const char* const each_run_apart =
    "give each run's output, with its 'open path' line, as a REPORT of its own";

// Whether a carrier was reported by the run numbered run.
bool holds_run(const std::vector<kit::reported_carrier>& carriers, int run) {
  return std::any_of(carriers.begin(), carriers.end(),
                     [&](const kit::reported_carrier& c) { return c.run == run; });
}

// Whether each carrier of input, its stretch shifted by shift, falls to a
// sweep of its own polarisation; runs is how many runs the inputs before
// it hold.
bool polarisations_fit(const std::vector<kit::reported_carrier>& carriers, const report_input& input,
                       const std::vector<sweep>& sweeps, size_t runs, int shift) {
  return std::all_of(carriers.begin(), carriers.end(), [&](const kit::reported_carrier& c) {
    const int stretch = c.run - input.first_run;
    if (stretch < 0 || stretch > input.open_paths) return true;
    const long index = static_cast<long>(runs) + stretch + shift;
    return index >= 0 && static_cast<size_t>(index) < sweeps.size() &&
           c.vertical == (sweeps[static_cast<size_t>(index)].request.pol != 0);
  });
}

// How far an input's runs lie from its stretches between "open path" lines:
// 0 when each report comes before its line, -1 when after it.  Where the
// first and last runs found nothing, the lines alone cannot tell; the
// sweeps' polarisations then can, when only one way round fits them.
kit::result<int> stretch_shift(const std::vector<kit::reported_carrier>& carriers, const report_input& input,
                               const std::vector<sweep>& sweeps, size_t runs) {
  const auto in_stretch = [&](int stretch) { return holds_run(carriers, input.first_run + stretch); };
  const bool any = std::any_of(carriers.begin(), carriers.end(), [&](const kit::reported_carrier& c) {
    return c.run >= input.first_run && c.run <= input.first_run + input.open_paths;
  });
  const bool before_first = in_stretch(0);
  const bool after_last = input.open_paths > 0 && in_stretch(input.open_paths);
  if (before_first && after_last)
    return failure{input.name + ": report lines both before its first 'open path' line and after its last: " +
                   "which run gave each cannot be told; " + each_run_apart};
  if (any && input.open_paths > 1 && !before_first && !after_last) {
    const bool as_file = polarisations_fit(carriers, input, sweeps, runs, 0);
    if (as_file != polarisations_fit(carriers, input, sweeps, runs, -1)) return as_file ? 0 : -1;
    return failure{
        input.name + ": its first and last runs found nothing, so whether each run's 'open path' " +
        "line follows its report (a file) or comes first (a terminal) cannot be told; " + each_run_apart};
  }
  return after_last ? -1 : 0;
}

}  // namespace

kit::result<std::vector<kit::reported_carrier>> downlinks_through(
    const std::vector<kit::reported_carrier>& carriers, const std::vector<report_input>& inputs,
    const std::vector<sweep>& sweeps, const kit::lnb& dish) {
  std::vector<kit::reported_carrier> brought;
  size_t runs = 0;
  for (const report_input& input : inputs) {
    // Without an "open path" line, an input that holds report lines is one run.
    const bool lines_before_first = holds_run(carriers, input.first_run);
    if (input.open_paths == 0 && sweeps.size() > 1 && lines_before_first)
      return failure{input.name + ": no 'open path' line, so which of the " + std::to_string(sweeps.size()) +
                     " sweeps gave its report lines cannot be told; " + each_run_apart +
                     ", or give its one --sweep"};
    const kit::result<int> shift = stretch_shift(carriers, input, sweeps, runs);
    if (!shift) return failure{shift.error()};
    for (kit::reported_carrier carrier : carriers) {
      const int stretch = carrier.run - input.first_run;
      if (stretch < 0 || stretch > input.open_paths) continue;
      const size_t index = runs + static_cast<size_t>(stretch + *shift);
      if (index >= sweeps.size()) break;  // more runs than sweeps: refused below
      const sweep& by = sweeps[index];
      const std::string line = input.name + ": the carrier reported at " +
                               std::to_string(carrier.downlink_khz) + " kHz, of run " +
                               std::to_string(index + 1) + " (sweep '" + by.arguments + "')";
      if (carrier.vertical != (by.request.pol != 0))
        return failure{line + ": its polarisation is not the sweep's; give the sweeps in the runs' order"};
      const kit::result<uint32_t> downlink =
          kit::reported_downlink_khz(dish, by.request, carrier.downlink_khz);
      if (!downlink) return failure{line + ": " + downlink.error()};
      carrier.downlink_khz = *downlink;
      carrier.run = static_cast<int>(index);
      brought.push_back(carrier);
    }
    runs += static_cast<size_t>(input.open_paths > 0 ? input.open_paths : lines_before_first ? 1 : 0);
  }
  if (runs > sweeps.size())
    return failure{
        "the reports hold " + std::to_string(runs) + " runs of the tool (one per 'open path' line) " +
        "and " + std::to_string(sweeps.size()) +
        " sweeps are given: which sweep gave a run's lines cannot be told; give one --sweep per run, " +
        "in the runs' order"};
  return brought;
}

}  // namespace blindscan::after_scan
