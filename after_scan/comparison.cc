#include "after_scan/comparison.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <utility>

#include "kit/blind_search.h"
#include "kit/messages.h"
#include "kit/text.h"

namespace blindscan::after_scan {

using kit::transponder;

namespace {

uint64_t listed_rate(const transponder& listed) { return uint64_t{listed.symbol_rate} * 1000; }

int64_t signed_distance(uint64_t to, uint64_t from) {
  return static_cast<int64_t>(to) - static_cast<int64_t>(from);
}

// Symbols per second as kSym/s: whole where it is, else to the symbol.
std::string ksym(int64_t symbols, bool sign = false) {
  char text[40];
  const char* format = symbols % 1000 == 0 ? (sign ? "%+.0f" : "%.0f") : (sign ? "%+.3f" : "%.3f");
  (void)std::snprintf(text, sizeof text, format, static_cast<double>(symbols) / 1000);
  return text;
}

std::string offsets(int64_t khz, int64_t symbols) {
  return (khz >= 0 ? "+" : "") + std::to_string(khz) + " kHz, " + ksym(symbols, true) + " kSym/s";
}

// Whether the blind search with request finds carrier through dish.
bool reaches(const transponder& carrier, const device::blindscan_request& request, const kit::lnb& dish) {
  return !kit::blind_search({carrier}, request, {}, dish).empty();
}

// request over every symbol rate.
device::blindscan_request any_rate(device::blindscan_request request) {
  request.min_symbol = 1;
  request.max_symbol = INT32_MAX;
  return request;
}

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
    case verdict::not_found:
      return "in range and not found";
  }
  return "";
}

// The intermediate frequency, kHz, at which request brings downlink_khz to
// the tuner through dish; a downlink beyond what the dish takes as the
// request's first path would bring it, since a line may lie there.
int64_t tuner_khz(uint32_t downlink_khz, const device::blindscan_request& request, const kit::lnb& dish) {
  if (const std::optional<int64_t> khz = kit::intermediate_khz(dish, request, downlink_khz)) return *khz;
  const std::vector<kit::lnb_path> paths = kit::selected_paths(dish, request);
  if (paths.empty()) return int64_t{downlink_khz} - device::lnb_offset_khz(request.hilow_band);
  const int64_t oscillator_khz = paths.front().oscillator_khz;
  return kit::inverted(paths.front()) ? oscillator_khz - downlink_khz : downlink_khz - oscillator_khz;
}

// Which band and intermediate frequency would reach a carrier no sweep reached.
std::string reachable_by(const transponder& listed, const kit::lnb& dish) {
  for (const sweep& whole : whole_sweeps()) {
    if ((whole.request.pol != 0) != listed.vertical || !reaches(listed, any_rate(whole.request), dish))
      continue;
    const int64_t khz = tuner_khz(listed.downlink_khz, whole.request, dish);
    char text[120];
    (void)std::snprintf(text, sizeof text, "out of range: the %s reaches it at %.3f MHz",
                        kit::band_words(whole.request), static_cast<double>(khz) / 1000);
    return text;
  }
  if (!kit::takes(dish, listed.downlink_khz)) return "out of range: LNB " + dish.name + " does not take it";
  return "out of range: neither band brings it within " + std::to_string(tuner_lowest_mhz) + "-" +
         std::to_string(tuner_highest_mhz) + " MHz";
}

// Where a sweep's own lines end, when they end early.
struct early_end {
  int64_t last_khz;  // cppcheck-suppress unusedStructMember ; read in missed: its last line's tuner kHz
  std::string detail;
};

// Whether the sweep's lines end early, and where: when they fill the record
// cap, or when two or more listed carriers the sweep reaches lie beyond its
// highest line and none of its lines is theirs.  A single one beyond is a
// carrier not found, as one missing among the others is; a sweep without a
// line ends nowhere, a dish that finds nothing being as likely.
std::optional<early_end> ended_early(const sweep& swept,
                                     const std::vector<const kit::reported_carrier*>& lines,
                                     const std::vector<transponder>& list, const kit::lnb& dish) {
  if (lines.empty()) return std::nullopt;
  const kit::reported_carrier* last = lines.front();
  for (const kit::reported_carrier* line : lines)
    if (tuner_khz(line->downlink_khz, swept.request, dish) >
        tuner_khz(last->downlink_khz, swept.request, dish))
      last = line;
  const int64_t last_khz = tuner_khz(last->downlink_khz, swept.request, dish);
  const std::string reported = "sweep ended early: sweep '" + swept.arguments + "' reported " +
                               std::to_string(lines.size()) + " carriers, the last at " +
                               std::to_string(last->downlink_khz) + " kHz";
  if (lines.size() >= static_cast<size_t>(device::max_records))
    return early_end{last_khz, reported + ", the record cap"};
  const size_t beyond =
      static_cast<size_t>(std::count_if(list.begin(), list.end(), [&](const transponder& listed) {
        return reaches(listed, swept.request, dish) &&
               tuner_khz(listed.downlink_khz, swept.request, dish) > last_khz &&
               std::none_of(lines.begin(), lines.end(), [&](const kit::reported_carrier* line) {
                 return kit::within_tolerance(line->downlink_khz, line->symbol_rate, listed.downlink_khz,
                                              listed_rate(listed), listed_rate(listed));
               });
      }));
  if (beyond < 2) return std::nullopt;
  return early_end{last_khz, reported + ", and none of the " + std::to_string(beyond) +
                                 " listed beyond it (a cut-short read or an interrupted scan: replay its " +
                                 "trace to see)"};
}

// Why the sweeps did not report a listed transponder, as the blind search
// over the list decides: the records of each sweep, in the order it reports
// them, tell whether the cap came before it, and the end of each sweep's
// own lines (none where runs are not told apart) whether it ended first.
listed_outcome missed(const transponder& listed, const std::vector<sweep>& sweeps,
                      const std::vector<std::vector<device::blindscan_result>>& records,
                      const std::vector<std::optional<early_end>>& ends, const kit::lnb& dish) {
  bool rate_only = false;
  const sweep* capped = nullptr;
  const early_end* ended = nullptr;
  for (size_t i = 0; i < sweeps.size(); ++i) {
    const device::blindscan_request& request = sweeps[i].request;
    if (!reaches(listed, request, dish)) {
      rate_only = rate_only || reaches(listed, any_rate(request), dish);
      continue;
    }
    const auto khz = static_cast<uint32_t>(tuner_khz(listed.downlink_khz, request, dish));
    const auto at =
        std::find_if(records[i].begin(), records[i].end(),
                     [&](const device::blindscan_result& record) { return record.frequency == khz; });
    if (at - records[i].begin() >= device::max_records) {
      capped = &sweeps[i];
    } else if (i < ends.size() && ends[i] &&
               tuner_khz(listed.downlink_khz, request, dish) > ends[i]->last_khz) {
      ended = &*ends[i];
    } else {
      return {listed, verdict::not_found, "in range and not found"};
    }
  }
  if (capped)
    return {listed, verdict::record_cap,
            "record cap: sweep '" + capped->arguments + "' found " + std::to_string(device::max_records) +
                " carriers below it"};
  if (ended) return {listed, verdict::sweep_ended_early, ended->detail};
  if (rate_only) return {listed, verdict::symbol_rate_out_of_range, "symbol rate out of range"};
  return {listed, verdict::out_of_range, reachable_by(listed, dish)};
}

// Why a reported carrier is none of the listed ones.
std::string extra_detail(const kit::reported_carrier& carrier, const std::vector<transponder>& list,
                         const std::vector<sweep>& sweeps, const kit::lnb& dish) {
  const transponder as_listed{carrier.downlink_khz, carrier.vertical,
                              std::max<uint32_t>(kit::nearest_ksym(carrier.symbol_rate), 1), carrier.system};
  if (std::none_of(sweeps.begin(), sweeps.end(),
                   [&](const sweep& s) { return reaches(as_listed, s.request, dish); }))
    return "outside every sweep given";
  const transponder* nearest = nullptr;
  for (const transponder& listed : list)
    if (listed.vertical == carrier.vertical &&
        (!nearest || kit::distance(listed.downlink_khz, carrier.downlink_khz) <
                         kit::distance(nearest->downlink_khz, carrier.downlink_khz)))
      nearest = &listed;
  // Within the listed carrier's occupied bandwidth (rate x 1.35), it is that
  // carrier measured too far off; beyond, a carrier the list does not hold.
  if (nearest &&
      kit::distance(nearest->downlink_khz, carrier.downlink_khz) * 2000 * 100 <= listed_rate(*nearest) * 135)
    return "off the listed " + std::to_string(nearest->downlink_khz) + " " +
           kit::polarisation_letter(carrier.vertical) + " by " +
           offsets(signed_distance(carrier.downlink_khz, nearest->downlink_khz),
                   signed_distance(carrier.symbol_rate, listed_rate(*nearest)));
  return "unpublished";
}

// The records each sweep's blind search over the list reports.
std::vector<std::vector<device::blindscan_result>> sweep_records(const std::vector<transponder>& list,
                                                                 const std::vector<sweep>& sweeps,
                                                                 const kit::lnb& dish) {
  std::vector<std::vector<device::blindscan_result>> records;
  records.reserve(sweeps.size());
  for (const sweep& s : sweeps) records.push_back(kit::blind_search(list, s.request, {}, dish));
  return records;
}

// For each carrier, the listed transponders it may be (of its polarisation,
// within the tolerance of the listed values), the nearest in frequency first.
std::vector<std::vector<size_t>> candidates(const std::vector<kit::reported_carrier>& carriers,
                                            const std::vector<transponder>& list) {
  std::vector<std::vector<size_t>> of(carriers.size());
  for (size_t c = 0; c < carriers.size(); ++c) {
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i].vertical == carriers[c].vertical &&
          kit::within_tolerance(carriers[c].downlink_khz, carriers[c].symbol_rate, list[i].downlink_khz,
                                listed_rate(list[i]), listed_rate(list[i])))
        of[c].push_back(i);
    std::stable_sort(of[c].begin(), of[c].end(), [&](size_t a, size_t b) {
      return kit::distance(list[a].downlink_khz, carriers[c].downlink_khz) <
             kit::distance(list[b].downlink_khz, carriers[c].downlink_khz);
    });
  }
  return of;
}

// The carrier of each of listed_count transponders, or nothing: each carrier
// is one listed transponder among its candidates, each listed one at most one
// carrier, and as many pairs are made as can be, each carrier trying the
// nearest first, so that two listed carriers close together, each measured
// nearer the other, are both found.
std::vector<std::optional<size_t>> pair_up(const std::vector<std::vector<size_t>>& candidates,
                                           size_t listed_count) {
  std::vector<std::optional<size_t>> found(listed_count);
  for (size_t c = 0; c < candidates.size(); ++c) {
    std::vector<bool> tried(listed_count);
    // An augmenting path: carrier takes a free listed transponder, or one
    // whose carrier can move to another.
    const std::function<bool(size_t)> place = [&](size_t carrier) {
      for (const size_t i : candidates[carrier]) {
        if (tried[i]) continue;
        tried[i] = true;
        if (!found[i] || place(*found[i])) {
          found[i] = carrier;
          return true;
        }
      }
      return false;
    };
    place(c);
  }
  return found;
}

// A listed transponder found as carrier, with the carrier's offsets.
listed_outcome found_at(const transponder& listed, const kit::reported_carrier& carrier) {
  return {listed, verdict::found,
          offsets(signed_distance(carrier.downlink_khz, listed.downlink_khz),
                  signed_distance(carrier.symbol_rate, listed_rate(listed)))};
}

}  // namespace

comparison compare(const std::vector<transponder>& list, const kit::placed_report& report,
                   const kit::lnb& dish) {
  const std::vector<sweep>& sweeps = report.sweeps;
  const std::vector<kit::reported_carrier> carriers = kit::distinct_carriers(report.carriers);
  const std::vector<std::optional<size_t>> found = pair_up(candidates(carriers, list), list.size());
  std::vector<bool> matched(carriers.size());
  for (const std::optional<size_t>& carrier : found)
    if (carrier) matched[*carrier] = true;

  comparison compared;
  for (size_t c = 0; c < carriers.size(); ++c)
    if (!matched[c]) compared.extras.push_back({carriers[c], extra_detail(carriers[c], list, sweeps, dish)});
  const std::vector<std::vector<device::blindscan_result>> records = sweep_records(list, sweeps, dish);
  std::vector<std::optional<early_end>> ends;
  if (kit::runs_told(report))
    for (size_t i = 0; i < sweeps.size(); ++i)
      ends.push_back(ended_early(sweeps[i], kit::lines_of(report, i), list, dish));
  for (size_t i = 0; i < list.size(); ++i)
    compared.listed.push_back(found[i] ? found_at(list[i], carriers[*found[i]])
                                       : missed(list[i], sweeps, records, ends, dish));
  if (!list.empty() && std::none_of(list.begin(), list.end(),
                                    [&](const transponder& t) { return kit::takes(dish, t.downlink_khz); }))
    compared.finding =
        "LNB " + dish.name + " takes none of the listed downlinks: its band and the list never meet";
  return compared;
}

fit fit_of(const std::vector<transponder>& list, const kit::placed_report& report, const kit::lnb& dish) {
  const std::vector<sweep>& sweeps = report.sweeps;
  const std::vector<kit::reported_carrier> carriers = kit::distinct_carriers(report.carriers);
  const std::vector<std::optional<size_t>> found = pair_up(candidates(carriers, list), list.size());
  const auto matched = static_cast<size_t>(std::count_if(
      found.begin(), found.end(), [](const std::optional<size_t>& c) { return c.has_value(); }));
  const auto in_range =
      static_cast<size_t>(std::count_if(list.begin(), list.end(), [&](const transponder& listed) {
        return std::any_of(sweeps.begin(), sweeps.end(),
                           [&](const sweep& s) { return reaches(listed, s.request, dish); });
      }));
  return {matched, carriers.size(), in_range};
}

std::string summary_line(std::string_view list_name, const comparison& compared) {
  size_t counts[static_cast<size_t>(verdict::not_found) + 1] = {};
  for (const listed_outcome& outcome : compared.listed) ++counts[static_cast<size_t>(outcome.result)];
  const size_t found = counts[static_cast<size_t>(verdict::found)];
  std::string line = std::string(list_name) + ": " + std::to_string(compared.listed.size()) + " listed, " +
                     std::to_string(found) + " found, " + std::to_string(compared.listed.size() - found) +
                     " missed (";
  for (const verdict why : {verdict::out_of_range, verdict::symbol_rate_out_of_range, verdict::record_cap,
                            verdict::sweep_ended_early, verdict::not_found}) {
    // Only where a sweep ended early, so that every other summary reads as before.
    if (why == verdict::sweep_ended_early && counts[static_cast<size_t>(why)] == 0) continue;
    line += std::to_string(counts[static_cast<size_t>(why)]) + " " + verdict_words(why);
    line += why == verdict::not_found ? "), " : ", ";
  }
  line += std::to_string(compared.extras.size()) + " extra";
  return line + (compared.finding.empty() ? "" : "; " + compared.finding) + "\n";
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
                ksym(static_cast<int64_t>(r.symbol_rate)), kit::system_name(r.system), *r.detail);
  return text;
}

std::string tab_separated_table(const comparison& compared) {
  std::string text = comparison_tsv_header;
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
  return std::any_of(compared.listed.begin(), compared.listed.end(),
                     [](const listed_outcome& outcome) { return outcome.result == verdict::not_found; })
             ? 1
             : 0;
}

}  // namespace blindscan::after_scan
