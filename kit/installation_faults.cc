#include "kit/installation_faults.h"

#include <algorithm>

#include "kit/messages.h"
#include "kit/report_lines.h"
#include "kit/text.h"

namespace blindscan::kit {

namespace {

// The occupied bandwidth of a carrier of ksym kSym/s, in kHz, at the widest
// roll-off, times 100.
uint64_t bandwidth_khz_x100(uint64_t ksym) { return ksym * 135; }

// Whether a record found on the other polarisation overlaps one of own.
bool overlaps_any(const device::blindscan_result& other, const std::vector<device::blindscan_result>& own) {
  return std::any_of(own.begin(), own.end(), [&](const device::blindscan_result& mine) {
    return distance(other.frequency, mine.frequency) * 2 * 100 <
           bandwidth_khz_x100(other.symbol_rate) + bandwidth_khz_x100(mine.symbol_rate);
  });
}

}  // namespace

const installation_fault_type& type_of(installation_fault_kind kind) {
  for (const installation_fault_type& type : installation_fault_types)
    if (type.kind == kind) return type;
  return installation_fault_types[0];
}

std::optional<result<installation_fault>> parse_installation_fault(std::string_view text) {
  const size_t equals = text.find('=');
  const std::string_view name = text.substr(0, equals);
  const std::string_view value = equals == std::string_view::npos ? "" : text.substr(equals + 1);
  const auto type = std::find_if(std::begin(installation_fault_types), std::end(installation_fault_types),
                                 [&](const installation_fault_type& t) { return name == t.id; });
  if (type == std::end(installation_fault_types)) return std::nullopt;
  installation_fault fault{type->kind};
  if (type->value == nullptr) {
    if (equals != std::string_view::npos) return failure{std::string(type->id) + " takes no value"};
    return fault;
  }
  if (type->kind == installation_fault_kind::polarisation_stuck) {
    const std::optional<bool> vertical = polarisation_of_letter(value);
    if (!vertical)
      return failure{std::string(type->id) + ": give the polarisation the LNB is stuck on, H or V"};
    fault.value = *vertical ? 1 : 0;
    return fault;
  }
  if (!parse_positive(value, fault.value))
    return failure{std::string(type->id) + " needs " + type->value + ", a whole number above 0"};
  return fault;
}

std::string installation_fault_text(const installation_fault& fault) {
  const installation_fault_type& type = type_of(fault.kind);
  if (type.value == nullptr) return type.id;
  if (fault.kind == installation_fault_kind::polarisation_stuck)
    return std::string(type.id) + "=" + polarisation_letter(fault.value != 0);
  return std::string(type.id) + "=" + std::to_string(fault.value);
}

device::blindscan_request as_served(device::blindscan_request request,
                                    const std::vector<installation_fault>& faults) {
  for (const installation_fault& fault : faults) {
    switch (fault.kind) {
      case installation_fault_kind::no_tone:
        request.hilow_band = 0;
        break;
      case installation_fault_kind::tone_stuck:
        request.hilow_band = 1;
        break;
      case installation_fault_kind::polarisation_stuck:
        request.pol = static_cast<int32_t>(fault.value);
        break;
      case installation_fault_kind::cable_loss:
        request.max_freq =
            std::min(request.max_freq, static_cast<int32_t>(std::min<uint32_t>(fault.value, INT32_MAX)));
        break;
      case installation_fault_kind::rate_floor:
        request.min_symbol =
            std::max(request.min_symbol, static_cast<int32_t>(std::min<uint32_t>(fault.value, INT32_MAX)));
        break;
      case installation_fault_kind::skew:
        break;
    }
  }
  return request;
}

std::vector<device::blindscan_result> installation_search(const std::vector<transponder>& sky,
                                                          const device::blindscan_request& request,
                                                          const measurement_jitter& jitter, const lnb& dish,
                                                          const std::vector<installation_fault>& faults) {
  const device::blindscan_request served = as_served(request, faults);
  std::vector<device::blindscan_result> found = blind_search(sky, served, jitter, dish);
  const bool skewed = std::any_of(faults.begin(), faults.end(), [](const installation_fault& fault) {
    return fault.kind == installation_fault_kind::skew;
  });
  if (!skewed) return found;
  device::blindscan_request other = served;
  other.pol = served.pol != 0 ? 0 : 1;
  const std::vector<device::blindscan_result> own = found;
  for (const device::blindscan_result& leaked : blind_search(sky, other, jitter, dish))
    if (!overlaps_any(leaked, own)) found.push_back(leaked);
  std::stable_sort(found.begin(), found.end(),
                   [](const device::blindscan_result& a, const device::blindscan_result& b) {
                     return a.frequency < b.frequency;
                   });
  return found;
}

}  // namespace blindscan::kit
