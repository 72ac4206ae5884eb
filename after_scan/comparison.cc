#include "after_scan/comparison.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

#include "after_scan/findings.h"
#include "after_scan/matching.h"
#include "after_scan/served.h"
#include "kit/blind_search.h"

namespace blindscan::after_scan {

using kit::transponder;

namespace {

int64_t signed_distance(uint64_t to, uint64_t from) {
  return static_cast<int64_t>(to) - static_cast<int64_t>(from);
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

// Whether a sweep's lines (its carriers as served) end early, and where:
// when they fill the record cap, or when two or more listed carriers the
// sweep as served reaches lie beyond its highest line and none of its lines
// is theirs.  A single one beyond is a carrier not found, as one missing
// among the others is; a sweep without a line ends nowhere, a dish that
// finds nothing being as likely.
std::optional<early_end> ended_early(const sweep& swept, const device::blindscan_request& served,
                                     const std::vector<const kit::reported_carrier*>& lines,
                                     const std::vector<transponder>& list, const kit::lnb& dish) {
  if (lines.empty()) return std::nullopt;
  const kit::reported_carrier* last = lines.front();
  for (const kit::reported_carrier* line : lines)
    if (tuner_khz(line->downlink_khz, served, dish) > tuner_khz(last->downlink_khz, served, dish))
      last = line;
  const int64_t last_khz = tuner_khz(last->downlink_khz, served, dish);
  const std::string reported = "sweep ended early: sweep '" + swept.arguments + "' reported " +
                               std::to_string(lines.size()) + " carriers, the last at " +
                               std::to_string(last->downlink_khz) + " kHz";
  if (lines.size() >= static_cast<size_t>(device::max_records))
    return early_end{last_khz, reported + ", the record cap"};
  const auto beyond =
      static_cast<size_t>(std::count_if(list.begin(), list.end(), [&](const transponder& listed) {
        return reaches(listed, served, dish) && tuner_khz(listed.downlink_khz, served, dish) > last_khz &&
               std::none_of(lines.begin(), lines.end(),
                            [&](const kit::reported_carrier* line) { return matches_listed(*line, listed); });
      }));
  if (beyond < 2) return std::nullopt;
  return early_end{last_khz, reported + ", and none of the " + std::to_string(beyond) +
                                 " listed beyond it (a cut-short read or an interrupted scan: replay its " +
                                 "trace to see)"};
}

// What the sweeps as served reached of the list, and where they ended.
struct sweep_view {
  const std::vector<sweep>& sweeps;
  const std::vector<served_sweep>& served;
  std::vector<std::vector<device::blindscan_result>> records;  // of the blind search over the list
  std::vector<std::optional<early_end>> ends;                  // none where runs are not told apart
};

// Why the sweeps did not report a listed transponder, as the blind search
// over the list decides: the records of each sweep as served, in the order
// it reports them, tell whether the cap came before it, the end of each
// sweep's own lines whether it ended first, and a sweep served otherwise
// than asked whether it could reach it at all.
listed_outcome missed(const transponder& listed, const sweep_view& view, const kit::lnb& dish) {
  bool rate_only = false;
  const sweep* capped = nullptr;
  const early_end* ended = nullptr;
  std::optional<size_t> served_away;
  for (size_t i = 0; i < view.sweeps.size(); ++i) {
    const device::blindscan_request& request = view.served[i].request;
    if (!reaches(listed, request, dish)) {
      if (!view.served[i].faults.empty() && reaches(listed, view.sweeps[i].request, dish)) served_away = i;
      rate_only = rate_only || reaches(listed, any_rate(request), dish);
      continue;
    }
    const auto khz = static_cast<uint32_t>(tuner_khz(listed.downlink_khz, request, dish));
    const std::vector<device::blindscan_result>& records = view.records[i];
    const auto at = std::find_if(records.begin(), records.end(), [&](const device::blindscan_result& record) {
      return record.frequency == khz;
    });
    if (at - records.begin() >= device::max_records) {
      capped = &view.sweeps[i];
    } else if (i < view.ends.size() && view.ends[i] &&
               tuner_khz(listed.downlink_khz, request, dish) > view.ends[i]->last_khz) {
      ended = &*view.ends[i];
    } else {
      return {listed, verdict::not_found, "in range and not found"};
    }
  }
  if (capped)
    return {listed, verdict::record_cap,
            "record cap: sweep '" + capped->arguments + "' found " + std::to_string(device::max_records) +
                " carriers below it"};
  if (ended) return {listed, verdict::sweep_ended_early, ended->detail};
  if (served_away) {
    std::string faults;
    for (const kit::installation_fault& fault : view.served[*served_away].faults)
      faults += (faults.empty() ? "" : ", ") + kit::installation_fault_text(fault);
    return {listed, verdict::explained,
            "explained: " + faults + ": sweep '" + view.sweeps[*served_away].arguments +
                "', which reaches it, got " +
                (view.served[*served_away].request.pol != 0 ? "vertical " : "horizontal ") +
                kit::band_words(view.served[*served_away].request)};
  }
  if (rate_only) return {listed, verdict::symbol_rate_out_of_range, "symbol rate out of range"};
  return {listed, verdict::out_of_range, reachable_by(listed, dish)};
}

// Whether a sweep reaches a carrier measured as reported: within its ranges
// give or take the carrier's tolerance, as a measurement may lie.
bool reaches_measured(const kit::reported_carrier& carrier, const device::blindscan_request& request,
                      const kit::lnb& dish) {
  const uint64_t tolerance_khz = kit::tolerance_khz(carrier.symbol_rate);
  device::blindscan_request wider = request;
  const auto widen = [](int32_t value, int64_t by) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{value} + by, INT32_MIN, INT32_MAX));
  };
  const auto mhz = static_cast<int64_t>((tolerance_khz + 999) / 1000);
  const auto ksym = static_cast<int64_t>(carrier.symbol_rate / kit::tolerance_parts / 1000 + 1);
  wider.min_freq = widen(request.min_freq, -mhz);
  wider.max_freq = widen(request.max_freq, mhz);
  wider.min_symbol = widen(request.min_symbol, -ksym);
  wider.max_symbol = widen(request.max_symbol, ksym);
  const transponder as_listed{carrier.downlink_khz, carrier.vertical,
                              std::max<uint32_t>(kit::nearest_ksym(carrier.symbol_rate), 1), carrier.system};
  return reaches(as_listed, wider, dish);
}

// Why a reported carrier is none of the listed ones.
std::string extra_detail(const kit::reported_carrier& carrier, const std::vector<transponder>& list,
                         const std::vector<served_sweep>& served, const kit::lnb& dish) {
  if (std::none_of(served.begin(), served.end(),
                   [&](const served_sweep& s) { return reaches_measured(carrier, s.request, dish); }))
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
           offsets_text(signed_distance(carrier.downlink_khz, nearest->downlink_khz),
                        signed_distance(carrier.symbol_rate, listed_rate(*nearest)));
  return "unpublished";
}

sweep_view view_of(const std::vector<transponder>& list, const comparing& state) {
  sweep_view view{state.report.sweeps, state.served, {}, {}};
  for (const served_sweep& s : state.served)
    view.records.push_back(kit::blind_search(list, s.request, {}, state.dish));
  if (!kit::runs_told(state.report)) return view;
  for (size_t i = 0; i < view.sweeps.size(); ++i) {
    std::vector<const kit::reported_carrier*> lines;
    for (const kit::reported_carrier& carrier : state.carriers)
      if (carrier.sweep == static_cast<int>(i)) lines.push_back(&carrier);
    view.ends.push_back(ended_early(view.sweeps[i], state.served[i].request, lines, list, state.dish));
  }
  return view;
}

// The whole sweeps taken where none is given, said.
void say_sweeps_assumed(const kit::placed_report& report, comparison& compared) {
  if (std::any_of(report.sweeps.begin(), report.sweeps.end(), [](const sweep& s) { return s.given; })) return;
  if (std::any_of(compared.findings.begin(), compared.findings.end(),
                  [](const finding& f) { return f.id == "sweeps-assumed"; }))
    return;
  const sweep& whole = report.sweeps.front();
  compared.findings.push_back(
      {"sweeps-assumed",
       "no --sweep is given: the " + std::to_string(report.sweeps.size()) + " whole sweeps are assumed (" +
           std::to_string(whole.request.min_freq) + "-" + std::to_string(whole.request.max_freq) + " MHz, " +
           std::to_string(whole.request.min_symbol) + "-" + std::to_string(whole.request.max_symbol) +
           " kSym/s, each band and polarisation)",
       false});
}

}  // namespace

comparison compare(const std::vector<transponder>& list, const kit::placed_report& report,
                   const kit::lnb& dish) {
  const listed_by_frequency index(list);
  comparison compared;
  // The oscillators as the sweeps asked for them tell how each sweep was
  // served; then each is measured again from the carriers it brought down
  // as served, so that a sweep served another band measures that band.
  const std::vector<oscillator_measure> as_asked =
      measure_oscillators(index, kit::distinct_carriers(report.carriers), dish);
  const std::vector<served_sweep> served = served_sweeps(report, list, index, dish, as_asked);
  compared.oscillators =
      measure_oscillators(index, kit::distinct_carriers(as_served(report, served, dish, {})), dish);
  const std::vector<kit::reported_carrier> effective = as_served(report, served, dish, compared.oscillators);
  const comparing state{list, index, report, served, effective, dish};

  const std::vector<kit::reported_carrier> carriers = kit::distinct_carriers(effective);
  const std::vector<std::optional<size_t>> found = pair_up(carriers, list, index);
  std::vector<bool> matched(carriers.size());
  for (const std::optional<size_t>& carrier : found)
    if (carrier) matched[*carrier] = true;
  for (size_t c = 0; c < carriers.size(); ++c)
    if (!matched[c]) compared.extras.push_back({carriers[c], extra_detail(carriers[c], list, served, dish)});

  const sweep_view view = view_of(list, state);
  for (size_t i = 0; i < list.size(); ++i) {
    if (!found[i]) {
      compared.listed.push_back(missed(list[i], view, dish));
      continue;
    }
    const kit::reported_carrier& carrier = carriers[*found[i]];
    compared.listed.push_back({list[i], verdict::found,
                               offsets_text(signed_distance(carrier.downlink_khz, list[i].downlink_khz),
                                            signed_distance(carrier.symbol_rate, listed_rate(list[i])))});
  }
  find_served_faults(state, compared);
  find_skew(state, compared);
  find_thresholds(state, compared);
  find_stale_list(state, compared);
  find_wrong_lnb(state, compared);
  say_sweeps_assumed(report, compared);
  return compared;
}

}  // namespace blindscan::after_scan
