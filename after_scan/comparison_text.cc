#include <algorithm>
#include <cstdio>
#include <utility>

#include "after_scan/comparison.h"
#include "after_scan/matching.h"

namespace blindscan::after_scan {

namespace {

const char* verdict_words(verdict result) {
  switch (result) {
    case verdict::found:
      return "found";
    case verdict::out_of_range:
      return "out of range";
    case verdict::symbol_rate_out_of_range:
      return "symbol rate out of range";
    case verdict::record_cap:
      return "record cap";
    case verdict::sweep_ended_early:
      return "sweep ended early";
    case verdict::explained:
      return "explained by a fault found";
    case verdict::sweeps_assumed:
      return "where the sweeps are assumed";
    case verdict::list_out_of_date:
      return "perhaps no longer on air";
    case verdict::not_found:
      return "in range and not found";
  }
  return "";
}

}  // namespace

std::string summary_line(std::string_view list_name, const comparison& compared) {
  size_t counts[static_cast<size_t>(verdict::not_found) + 1] = {};
  for (const listed_outcome& outcome : compared.listed) ++counts[static_cast<size_t>(outcome.result)];
  const size_t found = counts[static_cast<size_t>(verdict::found)];
  std::string line = std::string(list_name) + ": " + std::to_string(compared.listed.size()) + " listed, " +
                     std::to_string(found) + " found, " + std::to_string(compared.listed.size() - found) +
                     " missed (";
  for (const verdict why : {verdict::out_of_range, verdict::symbol_rate_out_of_range, verdict::record_cap,
                            verdict::sweep_ended_early, verdict::explained, verdict::sweeps_assumed,
                            verdict::list_out_of_date, verdict::not_found}) {
    // The reasons after the record cap only where there are any, so that a
    // plain summary reads as it always has.
    const size_t count = counts[static_cast<size_t>(why)];
    if (why > verdict::record_cap && why < verdict::not_found && count == 0) continue;
    line += std::to_string(count) + " " + verdict_words(why);
    line += why == verdict::not_found ? "), " : ", ";
  }
  line += std::to_string(compared.extras.size()) + " extra\n";
  for (const oscillator_measure& measure : compared.oscillators)
    line += "oscillator " + measure_words(measure) + "\n";
  for (const finding& found_finding : compared.findings)
    line += "finding " + found_finding.id + ": " + found_finding.text + "\n";
  return line;
}

namespace {

// One row of the table: a listed transponder (its listed values) or an extra
// carrier (its reported ones).
struct table_row {
  const char* outcome;  // found, missed or extra
  bool vertical;
  uint32_t downlink_khz;
  uint64_t symbol_rate;  // symbols per second
  device::delivery_system system;
  const std::string* detail;
};

// The rows in ascending frequency, horizontal before vertical at one, each
// listed transponder before an extra carrier at the same place.
std::vector<table_row> table_rows(const comparison& compared) {
  std::vector<table_row> rows;
  for (const listed_outcome& outcome : compared.listed)
    rows.push_back({outcome.result == verdict::found ? "found" : "missed", outcome.listed.vertical,
                    outcome.listed.downlink_khz, listed_rate(outcome.listed), outcome.listed.system,
                    &outcome.detail});
  for (const extra_carrier& extra : compared.extras)
    rows.push_back({"extra", extra.carrier.vertical, extra.carrier.downlink_khz, extra.carrier.symbol_rate,
                    extra.carrier.system, &extra.detail});
  std::stable_sort(rows.begin(), rows.end(), [](const table_row& a, const table_row& b) {
    return std::pair{a.downlink_khz, a.vertical} < std::pair{b.downlink_khz, b.vertical};
  });
  return rows;
}

}  // namespace

std::string table(const comparison& compared) {
  const auto row = [](const char* what, const char* pol, const std::string& khz, const std::string& rate,
                      const char* system, const std::string& detail) {
    char text[80];
    (void)std::snprintf(text, sizeof text, "%-7s %-3s %10s %9s %-6s  ", what, pol, khz.c_str(), rate.c_str(),
                        system);
    return text + detail + "\n";
  };
  std::string text = row("RESULT", "POL", "FREQ_KHZ", "KSYM/S", "SYSTEM", "DETAIL");
  for (const table_row& r : table_rows(compared))
    text += row(r.outcome, kit::polarisation_letter(r.vertical), std::to_string(r.downlink_khz),
                ksym_text(static_cast<int64_t>(r.symbol_rate)), kit::system_name(r.system), *r.detail);
  return text;
}

std::string tab_separated_table(const comparison& compared) {
  std::string text = comparison_tsv_header;
  for (const oscillator_measure& measure : compared.oscillators)
    text += "oscillator\t\t" + std::to_string(int64_t{measure.nominal_khz} + measure.offset_khz.value_or(0)) +
            "\t" + std::to_string(measure.carriers) + "\t\t" + measure_words(measure) + "\n";
  for (const finding& found_finding : compared.findings) {
    std::string detail = found_finding.text;
    std::replace(detail.begin(), detail.end(), '\t', ' ');
    text += "finding\t\t\t\t\t" + found_finding.id + ": " + detail + "\n";
  }
  for (const table_row& r : table_rows(compared)) {
    // A sweep's arguments, as given, may hold a tab.
    std::string detail = *r.detail;
    std::replace(detail.begin(), detail.end(), '\t', ' ');
    text += std::string(r.outcome) + "\t" + kit::polarisation_letter(r.vertical) + "\t" +
            std::to_string(r.downlink_khz) + "\t" + std::to_string(r.symbol_rate) + "\t" +
            kit::system_name(r.system) + "\t" + detail + "\n";
  }
  return text;
}

int exit_status(const comparison& compared) {
  const bool blamed =
      std::any_of(compared.listed.begin(), compared.listed.end(),
                  [](const listed_outcome& outcome) { return outcome.result == verdict::not_found; });
  const bool faulty = std::any_of(compared.findings.begin(), compared.findings.end(),
                                  [](const finding& found) { return found.fault; });
  return blamed || faulty ? 1 : 0;
}

}  // namespace blindscan::after_scan
