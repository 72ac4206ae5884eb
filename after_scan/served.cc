#include "after_scan/served.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "after_scan/matching.h"

namespace blindscan::after_scan {

namespace {

// A carrier as reported by a sweep with asked, brought down through served
// (its polarisation then served's) with its oscillator's offset; nothing
// where served cannot bring it down.
std::optional<kit::reported_carrier> read_as(kit::reported_carrier carrier,
                                             const device::blindscan_request& asked,
                                             const device::blindscan_request& served, const kit::lnb& dish,
                                             const std::vector<oscillator_measure>& measures) {
  const int64_t intermediate = int64_t{carrier.reported_khz} - device::lnb_offset_khz(asked.hilow_band);
  const kit::result<int64_t> downlink = kit::downlink_khz(dish, served, intermediate);
  if (!downlink || *downlink < 1 || *downlink > UINT32_MAX) return std::nullopt;
  carrier.vertical = served.pol != 0;
  carrier.oscillator_khz = kit::oscillator_for(dish, served, static_cast<uint32_t>(*downlink));
  carrier.downlink_khz = static_cast<uint32_t>(*downlink + offset_of(measures, carrier.oscillator_khz));
  return carrier;
}

// The band a request selects, 0 low, 1 high, whatever its hilow_band.
int32_t band_of(const device::blindscan_request& request) { return request.hilow_band != 0 ? 1 : 0; }

// How many of the lines are listed when their sweep is served as served.
size_t listed_as(const std::vector<const kit::reported_carrier*>& lines,
                 const device::blindscan_request& asked, const device::blindscan_request& served,
                 const listed_by_frequency& list, const kit::lnb& dish,
                 const std::vector<oscillator_measure>& measures) {
  size_t listed = 0;
  for (const kit::reported_carrier* line : lines) {
    const std::optional<kit::reported_carrier> read = read_as(*line, asked, served, dish, measures);
    if (read && is_listed(*read, list)) ++listed;
  }
  return listed;
}

// Whether a sweep found hardly any listed carriers as asked beside those it
// found as served: a sweep served otherwise finds its asked-for carriers
// only by chance.
bool hardly_any(size_t as_asked, size_t as_served) {
  return as_asked * hardly_any_share <= as_served + hardly_any_share;
}

// Whether the sweeps that asked for polarisation pol found the carriers the
// sweeps of their band that asked for the other found, most of them: as
// they do where both got the same polarisation.  True where no such other
// sweep tells.
bool twinned(const kit::placed_report& report, int32_t pol) {
  size_t lines = 0;
  size_t twins = 0;
  for (size_t i = 0; i < report.sweeps.size(); ++i) {
    const device::blindscan_request& asked = report.sweeps[i].request;
    if ((asked.pol != 0) != (pol != 0)) continue;
    std::vector<const kit::reported_carrier*> others;
    for (size_t j = 0; j < report.sweeps.size(); ++j) {
      const device::blindscan_request& other = report.sweeps[j].request;
      if ((other.pol != 0) != (pol != 0) && (other.hilow_band != 0) == (asked.hilow_band != 0))
        for (const kit::reported_carrier* line : kit::lines_of(report, j)) others.push_back(line);
    }
    if (others.empty()) continue;
    for (const kit::reported_carrier* line : kit::lines_of(report, i)) {
      ++lines;
      twins += std::any_of(others.begin(), others.end(), [&](const kit::reported_carrier* other) {
        return kit::within_tolerance(line->reported_khz, line->symbol_rate, other->reported_khz,
                                     other->symbol_rate, line->symbol_rate);
      });
    }
  }
  return twins * 5 >= lines * 4;
}

// The polarisation every sweep got where the supply voltage is stuck: the
// sweeps that asked for the other found three carriers or more that this one
// lists, and the sweeps together hardly any that only the other lists,
// though three or more lie in their reach.  (A turned LNB's sweeps find
// both; where both polarisations list the same frequencies, the carriers
// only one lists tell them apart.)
std::optional<int32_t> stuck_polarisation(const kit::placed_report& report,
                                          const std::vector<kit::transponder>& list,
                                          const listed_by_frequency& index, const kit::lnb& dish,
                                          const std::vector<oscillator_measure>& measures) {
  if (!kit::runs_told(report)) return std::nullopt;
  for (const int32_t asked_pol : {0, 1}) {
    const bool asked_vertical = asked_pol != 0;
    const std::vector<kit::transponder> only_asked = listed_only(list, index, asked_vertical);
    const listed_by_frequency asked_index(only_asked);
    size_t reachable = 0;
    for (const kit::transponder& listed : only_asked)
      for (const kit::sweep& s : report.sweeps)
        if ((s.request.pol != 0) == asked_vertical && reaches(listed, s.request, dish)) {
          ++reachable;
          break;
        }
    size_t found_asked = 0;
    size_t found_other = 0;
    for (size_t i = 0; i < report.sweeps.size(); ++i) {
      device::blindscan_request asked = report.sweeps[i].request;
      device::blindscan_request other = asked;
      asked.pol = asked_pol;
      other.pol = asked_pol != 0 ? 0 : 1;
      const std::vector<const kit::reported_carrier*> lines = kit::lines_of(report, i);
      found_asked += listed_as(lines, report.sweeps[i].request, asked, asked_index, dish, measures);
      if ((report.sweeps[i].request.pol != 0) == asked_vertical)
        found_other += listed_as(lines, report.sweeps[i].request, other, index, dish, measures);
    }
    if (reachable >= clearly_more_served && hardly_any(found_asked, reachable) &&
        found_other >= clearly_more_served && twinned(report, asked_pol))
      return asked_pol != 0 ? 0 : 1;
  }
  return std::nullopt;
}

// The tone reaches the LNB alike for every sweep: a sweep that its carriers
// show served the other band makes each other sweep that asked its band
// served so too, where that explains its carriers as well as asking does.
void spread_alike(std::vector<served_sweep>& served, const kit::placed_report& report,
                  const listed_by_frequency& index, const kit::lnb& dish,
                  const std::vector<oscillator_measure>& measures) {
  const std::vector<served_sweep> decided = served;
  for (size_t j = 0; j < decided.size(); ++j) {
    const served_sweep& shown = decided[j];
    const int32_t asked_band = band_of(report.sweeps[j].request);
    if (band_of(shown.request) == asked_band) continue;
    for (size_t i = 0; i < served.size(); ++i) {
      if (band_of(report.sweeps[i].request) != asked_band || band_of(served[i].request) != asked_band)
        continue;
      device::blindscan_request other = served[i].request;
      other.hilow_band = shown.request.hilow_band;
      const std::vector<const kit::reported_carrier*> lines = kit::lines_of(report, i);
      const size_t listed = listed_as(lines, report.sweeps[i].request, other, index, dish, measures);
      if (listed >= served[i].matched_as_served) {
        served[i].request = other;
        served[i].faults.push_back(shown.faults.back());
        served[i].matched_as_served = listed;
      }
    }
  }
}

// The tone reaches the LNB alike for every sweep: where a sweep of one band
// found its band's carriers as asked, no other sweep of that band got the
// other, whatever it found.
void revoke_contradicted(std::vector<served_sweep>& served, const kit::placed_report& report) {
  const auto asked_band = [&](size_t i) { return band_of(report.sweeps[i].request); };
  for (const int32_t band : {0, 1}) {
    bool contradicted = false;
    for (size_t i = 0; i < served.size(); ++i)
      contradicted = contradicted || (asked_band(i) == band && band_of(served[i].request) == band &&
                                      served[i].matched_as_served >= clearly_more_served);
    if (!contradicted) continue;
    for (size_t i = 0; i < served.size(); ++i) {
      served_sweep& s = served[i];
      if (asked_band(i) != band || band_of(s.request) == band) continue;
      s.request.hilow_band = band;
      std::erase_if(s.faults, [](const kit::installation_fault& fault) {
        return fault.kind == kit::installation_fault_kind::no_tone ||
               fault.kind == kit::installation_fault_kind::tone_stuck;
      });
    }
  }
}

// A sweep served as base, or the other band where its carriers show that.
served_sweep tone_served(const served_sweep& base, const std::vector<const kit::reported_carrier*>& lines,
                         const device::blindscan_request& asked, const listed_by_frequency& index,
                         const kit::lnb& dish, const std::vector<oscillator_measure>& measures,
                         const std::function<size_t(const device::blindscan_request&)>& reached) {
  device::blindscan_request other = base.request;
  other.hilow_band = base.request.hilow_band != 0 ? 0 : 1;
  const size_t listed = listed_as(lines, asked, other, index, dish, measures);
  const bool clearly_more = listed >= 2 * base.matched_as_served + clearly_more_served;
  // Nothing listed found, as the other band alone would have it.
  const bool none_as_either = base.matched_as_served == 0 && listed == 0 &&
                              reached(base.request) >= clearly_more_served && reached(other) == 0;
  if (!clearly_more && !none_as_either) return base;
  served_sweep served = base;
  served.request = other;
  served.faults.push_back({other.hilow_band != 0 ? kit::installation_fault_kind::tone_stuck
                                                 : kit::installation_fault_kind::no_tone});
  served.matched_as_served = listed;
  served.by_absence = !clearly_more;
  served.reached_listed = reached(base.request);
  return served;
}

}  // namespace

std::vector<served_sweep> served_sweeps(const kit::placed_report& report,
                                        const std::vector<kit::transponder>& list,
                                        const listed_by_frequency& index, const kit::lnb& dish,
                                        const std::vector<oscillator_measure>& measures) {
  const std::function<size_t(const device::blindscan_request&)> reached =
      [&](const device::blindscan_request& r) {
        return static_cast<size_t>(
            std::count_if(list.begin(), list.end(),
                          [&](const kit::transponder& listed) { return reaches(listed, r, dish); }));
      };
  const std::optional<int32_t> stuck = stuck_polarisation(report, list, index, dish, measures);
  std::vector<served_sweep> served;
  for (size_t i = 0; i < report.sweeps.size(); ++i) {
    const device::blindscan_request& asked = report.sweeps[i].request;
    const std::vector<const kit::reported_carrier*> lines = kit::lines_of(report, i);
    served_sweep base{asked, {}};
    base.matched_as_asked = listed_as(lines, asked, asked, index, dish, measures);
    if (stuck && (asked.pol != 0) != (*stuck != 0)) {
      base.request.pol = *stuck;
      base.faults.push_back(
          {kit::installation_fault_kind::polarisation_stuck, static_cast<uint32_t>(*stuck)});
    }
    base.matched_as_served = listed_as(lines, asked, base.request, index, dish, measures);
    served.push_back(kit::runs_told(report) ? tone_served(base, lines, asked, index, dish, measures, reached)
                                            : base);
  }
  spread_alike(served, report, index, dish, measures);
  revoke_contradicted(served, report);
  return served;
}

std::vector<kit::reported_carrier> as_served(const kit::placed_report& report,
                                             const std::vector<served_sweep>& served, const kit::lnb& dish,
                                             const std::vector<oscillator_measure>& measures) {
  std::vector<kit::reported_carrier> carriers;
  for (const kit::reported_carrier& carrier : report.carriers) {
    std::optional<kit::reported_carrier> read;
    if (carrier.sweep >= 0) {
      const auto index = static_cast<size_t>(carrier.sweep);
      read = read_as(carrier, report.sweeps[index].request, served[index].request, dish, measures);
    }
    if (!read) {
      read = carrier;
      read->downlink_khz =
          static_cast<uint32_t>(int64_t{carrier.downlink_khz} + offset_of(measures, carrier.oscillator_khz));
    }
    carriers.push_back(*read);
  }
  return carriers;
}

}  // namespace blindscan::after_scan
