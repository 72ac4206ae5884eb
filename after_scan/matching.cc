#include "after_scan/matching.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "kit/blind_search.h"

namespace blindscan::after_scan {

namespace {

// The widest tolerance any listed rate gives, kHz: the search's reach.
constexpr int64_t widest_reach_khz = 100'000;

// The listed transponders near a carrier, of its polarisation.
std::vector<const kit::transponder*> near(const kit::reported_carrier& carrier,
                                          const listed_by_frequency& list) {
  // A carrier within the tolerance of a listed one lies within a quarter of
  // the listed rate, which is at most its own rate and a third again.
  const int64_t reach =
      std::min<int64_t>(widest_reach_khz, static_cast<int64_t>(carrier.symbol_rate / 2000) + 1);
  return list.within(carrier.vertical, int64_t{carrier.downlink_khz} - reach,
                     int64_t{carrier.downlink_khz} + reach);
}

}  // namespace

std::string ksym_text(int64_t symbols, bool sign) {
  char text[40];
  const char* format = symbols % 1000 == 0 ? (sign ? "%+.0f" : "%.0f") : (sign ? "%+.3f" : "%.3f");
  (void)std::snprintf(text, sizeof text, format, static_cast<double>(symbols) / 1000);
  return text;
}

std::string offsets_text(int64_t khz, int64_t symbols) {
  return (khz >= 0 ? "+" : "") + std::to_string(khz) + " kHz, " + ksym_text(symbols, true) + " kSym/s";
}

bool matches_listed(const kit::reported_carrier& carrier, const kit::transponder& listed) {
  return kit::within_tolerance(carrier.downlink_khz, carrier.symbol_rate, listed.downlink_khz,
                               listed_rate(listed), listed_rate(listed));
}

bool reaches(const kit::transponder& carrier, const device::blindscan_request& request,
             const kit::lnb& dish) {
  return !kit::blind_search({carrier}, request, {}, dish).empty();
}

device::blindscan_request any_rate(device::blindscan_request request) {
  request.min_symbol = 1;
  request.max_symbol = INT32_MAX;
  return request;
}

int64_t tuner_khz(uint32_t downlink_khz, const device::blindscan_request& request, const kit::lnb& dish) {
  if (const std::optional<int64_t> khz = kit::intermediate_khz(dish, request, downlink_khz)) return *khz;
  const std::vector<kit::lnb_path> paths = kit::selected_paths(dish, request);
  if (paths.empty()) return int64_t{downlink_khz} - device::lnb_offset_khz(request.hilow_band);
  const int64_t oscillator_khz = paths.front().oscillator_khz;
  return kit::inverted(paths.front()) ? oscillator_khz - downlink_khz : downlink_khz - oscillator_khz;
}

bool is_listed(const kit::reported_carrier& carrier, const listed_by_frequency& list) {
  const std::vector<const kit::transponder*> nearby = near(carrier, list);
  return std::any_of(nearby.begin(), nearby.end(),
                     [&](const kit::transponder* t) { return matches_listed(carrier, *t); });
}

std::vector<kit::transponder> listed_only(const std::vector<kit::transponder>& list,
                                          const listed_by_frequency& index, bool vertical) {
  std::vector<kit::transponder> only;
  for (const kit::transponder& listed : list) {
    if (listed.vertical != vertical) continue;
    kit::reported_carrier as_other{};
    as_other.vertical = !vertical;
    as_other.downlink_khz = listed.downlink_khz;
    as_other.symbol_rate = listed_rate(listed);
    if (!is_listed(as_other, index)) only.push_back(listed);
  }
  return only;
}

std::vector<std::optional<size_t>> pair_up(const std::vector<kit::reported_carrier>& carriers,
                                           const std::vector<kit::transponder>& list,
                                           const listed_by_frequency& index) {
  // Each carrier's candidates, the nearest in frequency first.
  std::vector<std::vector<size_t>> candidates(carriers.size());
  for (size_t c = 0; c < carriers.size(); ++c) {
    for (const kit::transponder* listed : near(carriers[c], index))
      if (matches_listed(carriers[c], *listed))
        candidates[c].push_back(static_cast<size_t>(listed - list.data()));
    std::stable_sort(candidates[c].begin(), candidates[c].end(), [&](size_t a, size_t b) {
      return kit::distance(list[a].downlink_khz, carriers[c].downlink_khz) <
             kit::distance(list[b].downlink_khz, carriers[c].downlink_khz);
    });
  }
  std::vector<std::optional<size_t>> found(list.size());
  for (size_t c = 0; c < candidates.size(); ++c) {
    std::vector<bool> tried(list.size());
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

}  // namespace blindscan::after_scan
