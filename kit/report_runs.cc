#include "kit/report_runs.h"

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

#include "kit/messages.h"
#include "kit/read_file.h"

namespace blindscan::kit {

namespace {

const char* const each_run_apart =
    "give each run's output, with its 'open path' line, as a REPORT of its own";

// The intermediate frequency, kHz, of a frequency the tool reported for a
// sweep with request: the report adds the band's oscillator.
int64_t reported_intermediate_khz(uint32_t reported_khz, const device::blindscan_request& request) {
  return int64_t{reported_khz} - device::lnb_offset_khz(request.hilow_band);
}

// Why a carrier as reported cannot come from a sweep, or nothing where it
// can: its polarisation, and its intermediate frequency within the sweep's
// range give or take its tolerance.
std::optional<std::string> misfit(const reported_carrier& carrier, const sweep& swept) {
  const device::blindscan_request& request = swept.request;
  if (carrier.vertical != (request.pol != 0)) return "its polarisation is not the sweep's";
  const int64_t khz = reported_intermediate_khz(carrier.reported_khz, request);
  const auto margin = static_cast<int64_t>(tolerance_khz(carrier.symbol_rate));
  if (khz < int64_t{request.min_freq} * 1000 - margin || khz > int64_t{request.max_freq} * 1000 + margin)
    return "it lies at " + std::to_string(khz) + " kHz at the tuner, beyond the sweep's " +
           std::to_string(request.min_freq) + "-" + std::to_string(request.max_freq) + " MHz";
  return std::nullopt;
}

// The runs an input holds: one per "open path" line, or, without one, a
// single run where it holds report lines.
size_t runs_in(const report_input& input) {
  if (input.read.open_paths > 0) return static_cast<size_t>(input.read.open_paths);
  return input.read.carriers.empty() ? 0 : 1;
}

// Whether the input holds a line in a stretch.
bool holds_stretch(const report_input& input, int stretch) {
  return std::any_of(input.read.carriers.begin(), input.read.carriers.end(),
                     [&](const reported_carrier& c) { return c.run == stretch; });
}

// The layouts an input's lines allow, as the stretch its first run stands
// in: 0 in a file (each report before its "open path" line), 1 on a
// terminal (after it); or why none does.
result<std::vector<int>> layouts(const report_input& input) {
  const int open_paths = input.read.open_paths;
  if (open_paths == 0) return std::vector<int>{0};
  const bool before_first = holds_stretch(input, 0);
  const bool after_last = holds_stretch(input, open_paths);
  if (before_first && after_last)
    return failure{input.name + ": report lines both before its first 'open path' line and after its last: " +
                   "which run gave each cannot be told; " + each_run_apart};
  if (before_first || input.read.carriers.empty()) return std::vector<int>{0};
  if (after_last) return std::vector<int>{1};
  return std::vector<int>{0, 1};
}

std::string carrier_words(const placed_report& report, const reported_carrier& carrier) {
  std::string words = report.inputs[static_cast<size_t>(carrier.input)] + ": the carrier reported at " +
                      std::to_string(carrier.reported_khz) + " kHz";
  if (carrier.sweep >= 0)
    words += ", of run " + std::to_string(carrier.sweep + 1) + " (sweep '" +
             report.sweeps[static_cast<size_t>(carrier.sweep)].arguments + "')";
  return words;
}

// Why the runs of input number input_index, its first standing in stretch
// first_stretch, do not fit the sweeps from first_sweep on, or nothing where
// they do.
std::optional<std::string> layout_misfit(const placed_report& report, const report_input& input,
                                         int input_index, int first_stretch, size_t first_sweep) {
  for (reported_carrier carrier : input.read.carriers) {
    const size_t index = first_sweep + static_cast<size_t>(carrier.run - first_stretch);
    carrier.input = input_index;
    carrier.sweep = static_cast<int>(index);
    if (const std::optional<std::string> why = misfit(carrier, report.sweeps[index]))
      return carrier_words(report, carrier) + ": " + *why + "; give the sweeps in the runs' order";
  }
  return std::nullopt;
}

// Why the runs and the sweeps are not one to one, or nothing.
std::optional<std::string> count_misfit(const std::vector<report_input>& inputs,
                                        const placed_report& report) {
  const size_t sweeps = report.sweeps.size();
  if (report.runs == sweeps) return std::nullopt;
  for (const report_input& input : inputs)
    if (input.read.open_paths == 0 && !input.read.carriers.empty())
      return input.name + ": no 'open path' line, so which of the " + std::to_string(sweeps) +
             " sweeps gave its report lines cannot be told; " + each_run_apart + ", or give its one --sweep";
  const bool given =
      std::all_of(report.sweeps.begin(), report.sweeps.end(), [](const sweep& s) { return s.given; });
  return "the reports hold " + std::to_string(report.runs) +
         " runs of the tool (one per 'open path' line) and " + std::to_string(sweeps) + " sweeps are " +
         (given ? "given" : "taken (no --sweep is given)") +
         ": which sweep gave a run's lines cannot be told; give one --sweep per run, in the runs' order";
}

// Places each input's runs on the sweeps, in turn; why they cannot be
// placed, or nothing where they are (each carrier's sweep then set).
std::optional<std::string> place(const std::vector<report_input>& inputs, placed_report& report) {
  if (std::optional<std::string> why = count_misfit(inputs, report)) return why;
  std::vector<int> first_stretches;
  size_t first_sweep = 0;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const report_input& input = inputs[i];
    const result<std::vector<int>> allowed = layouts(input);
    if (!allowed) return allowed.error();
    std::vector<int> fitting;
    std::optional<std::string> why;
    for (const int first_stretch : *allowed) {
      std::optional<std::string> unfit =
          layout_misfit(report, input, static_cast<int>(i), first_stretch, first_sweep);
      if (!unfit) fitting.push_back(first_stretch);
      if (!why) why = std::move(unfit);
    }
    if (fitting.size() > 1)
      return input.name + ": its first and last runs found nothing, so whether each run's 'open path' line " +
             "follows its report (a file) or comes first (a terminal) cannot be told; " + each_run_apart;
    if (fitting.empty()) return why;
    first_stretches.push_back(fitting.front());
    first_sweep += runs_in(input);
  }
  // Each carrier's stretch, counted over all inputs, becomes its run and sweep.
  size_t first_run = 0;
  int first_stretch_overall = 0;
  for (size_t i = 0; i < inputs.size(); ++i) {
    for (reported_carrier& carrier : report.carriers) {
      if (carrier.input != static_cast<int>(i)) continue;
      const int local = carrier.run - first_stretch_overall;
      carrier.sweep = static_cast<int>(first_run) + local - first_stretches[i];
      carrier.run = carrier.sweep;
    }
    first_run += runs_in(inputs[i]);
    first_stretch_overall += inputs[i].read.open_paths + 1;
  }
  return std::nullopt;
}

// The downlink of a carrier whose run is untold: the same through every
// sweep that may have reported it, or a failure; and its oscillator where
// those sweeps bring it down alike.
result<std::pair<uint32_t, uint32_t>> downlink_of_untold(const placed_report& report,
                                                         const reported_carrier& carrier, const lnb& dish) {
  std::vector<const sweep*> candidates;
  for (const sweep& s : report.sweeps)
    if (!misfit(carrier, s)) candidates.push_back(&s);
  for (const sweep& s : report.sweeps)
    if (candidates.empty() && carrier.vertical == (s.request.pol != 0)) candidates.push_back(&s);
  std::vector<std::pair<uint32_t, const sweep*>> downlinks;
  std::optional<std::string> refused;
  for (const sweep* s : candidates) {
    const result<uint32_t> downlink = reported_downlink_khz(dish, s->request, carrier.reported_khz);
    if (downlink)
      downlinks.emplace_back(*downlink, s);
    else if (!refused)
      refused = downlink.error();
  }
  if (downlinks.empty())
    return failure{carrier_words(report, carrier) + ": " +
                   refused.value_or("no sweep of its polarisation is given") + " (" + report.untold + ")"};
  for (const auto& [khz, by] : downlinks)
    if (khz != downlinks.front().first)
      return failure{carrier_words(report, carrier) + ": " + report.untold + "; and through LNB " +
                     dish.name + " it lies at " + std::to_string(downlinks.front().first) +
                     " kHz by sweep '" + downlinks.front().second->arguments + "', at " +
                     std::to_string(khz) + " kHz by sweep '" + by->arguments + "'"};
  uint32_t oscillator = oscillator_for(dish, downlinks.front().second->request, downlinks.front().first);
  for (const auto& [khz, by] : downlinks)
    if (oscillator_for(dish, by->request, khz) != oscillator) oscillator = 0;
  return std::pair{downlinks.front().first, oscillator};
}

}  // namespace

result<std::vector<report_input>> read_report_inputs(const std::vector<std::string>& names, symbol_unit unit,
                                                     bool carriers_needed) {
  std::vector<report_input> inputs;
  bool any_carrier = false;
  bool any_run = false;
  for (const std::string& name : names.empty() ? std::vector<std::string>{"-"} : names) {
    const bool standard_input = name == "-";
    const result<std::string> text = read_file(standard_input ? "/dev/stdin" : name, "a report");
    if (!text) return failure{text.error()};
    const std::string shown = standard_input ? "standard input" : name;
    result<scan_report> read = read_report(*text, shown, unit);
    if (!read) return failure{read.error()};
    any_carrier = any_carrier || !read->carriers.empty();
    any_run = any_run || read->open_paths > 0;
    inputs.push_back({shown, std::move(*read)});
  }
  const std::string where = names.empty() ? "standard input" : "the reports given";
  if (!any_carrier && (carriers_needed || !any_run))
    return failure{"no report line (a line 'OK HORIZONTAL|VERTICAL ...' as mivo_blindscan prints it) in " +
                   where +
                   (carriers_needed ? "" : ", nor the 'open path' line of a scan that found nothing")};
  return inputs;
}

std::vector<const reported_carrier*> lines_of(const placed_report& report, size_t sweep) {
  std::vector<const reported_carrier*> lines;
  for (const reported_carrier& carrier : report.carriers)
    if (carrier.sweep == static_cast<int>(sweep)) lines.push_back(&carrier);
  return lines;
}

placed_report place_runs(const std::vector<report_input>& inputs, std::vector<sweep> sweeps) {
  placed_report report;
  report.sweeps = std::move(sweeps);
  int first_stretch = 0;
  for (size_t i = 0; i < inputs.size(); ++i) {
    report.inputs.push_back(inputs[i].name);
    for (reported_carrier carrier : inputs[i].read.carriers) {
      carrier.input = static_cast<int>(i);
      carrier.run += first_stretch;
      carrier.sweep = -1;
      report.carriers.push_back(carrier);
    }
    first_stretch += inputs[i].read.open_paths + 1;
    report.runs += runs_in(inputs[i]);
  }
  if (std::optional<std::string> why = place(inputs, report)) {
    report.untold = std::move(*why);
    for (reported_carrier& carrier : report.carriers) carrier.sweep = -1;
  }
  return report;
}

result<placed_report> through(const placed_report& report, const lnb& dish) {
  placed_report brought = report;
  for (reported_carrier& carrier : brought.carriers) {
    if (carrier.sweep < 0) {
      const auto downlink = downlink_of_untold(report, carrier, dish);
      if (!downlink) return failure{downlink.error()};
      std::tie(carrier.downlink_khz, carrier.oscillator_khz) = *downlink;
      continue;
    }
    const sweep& by = report.sweeps[static_cast<size_t>(carrier.sweep)];
    const result<uint32_t> downlink = reported_downlink_khz(dish, by.request, carrier.reported_khz);
    if (!downlink) return failure{carrier_words(report, carrier) + ": " + downlink.error()};
    carrier.downlink_khz = *downlink;
    carrier.oscillator_khz = oscillator_for(dish, by.request, *downlink);
  }
  return brought;
}

}  // namespace blindscan::kit
