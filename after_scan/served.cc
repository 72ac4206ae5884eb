#include "after_scan/served.h"

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

// The ways a sweep may have been served otherwise than asked: the tone the
// other way, the voltage the other way, or both.
std::vector<std::vector<kit::installation_fault>> other_servings(const device::blindscan_request& asked) {
  using enum kit::installation_fault_kind;
  const kit::installation_fault tone{asked.hilow_band != 0 ? no_tone : tone_stuck};
  const kit::installation_fault voltage{polarisation_stuck, asked.pol != 0 ? 0u : 1u};
  return {{tone}, {voltage}, {tone, voltage}};
}

}  // namespace

std::vector<served_sweep> served_sweeps(const kit::placed_report& report, const listed_by_frequency& list,
                                        const kit::lnb& dish,
                                        const std::vector<oscillator_measure>& measures) {
  std::vector<served_sweep> served;
  for (size_t i = 0; i < report.sweeps.size(); ++i) {
    const device::blindscan_request& asked = report.sweeps[i].request;
    served_sweep as_asked{asked, {}};
    const std::vector<const kit::reported_carrier*> lines = kit::lines_of(report, i);
    as_asked.carriers = lines.size();
    as_asked.matched_as_asked = listed_as(lines, asked, asked, list, dish, measures);
    as_asked.matched_as_served = as_asked.matched_as_asked;
    served_sweep best = as_asked;
    for (const std::vector<kit::installation_fault>& faults : other_servings(asked)) {
      const device::blindscan_request other = kit::as_served(asked, faults);
      const size_t listed = listed_as(lines, asked, other, list, dish, measures);
      if (listed >= 2 * as_asked.matched_as_asked + clearly_more_served && listed > best.matched_as_served)
        best = {other, faults, as_asked.matched_as_asked, listed, lines.size()};
    }
    served.push_back(best);
  }
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
