#include "kit/blind_search.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "device/blindscan_device.h"

namespace blindscan::kit {

namespace {

// The next number of a splitmix64 sequence: the same on every platform and
// C library, unlike the standard distributions.
uint64_t splitmix64(uint64_t& state) {
  uint64_t z = state += 0x9e3779b97f4a7c15u;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
  return z ^ (z >> 31);
}

// A whole number in [-bound, bound] from a random draw.
int64_t offset_within(uint64_t draw, uint32_t bound) {
  return static_cast<int64_t>(draw % (2 * uint64_t{bound} + 1)) - int64_t{bound};
}

}  // namespace

uint32_t record_flags(const transponder& found) {
  uint32_t flags = flag_carrier_locked | flag_fec_locked | flag_blind_search;
  if (found.vertical) flags |= flag_vertical;
  return flags | static_cast<uint32_t>(found.system) << device::delivery_system_shift;
}

std::pair<int64_t, int64_t> jitter_offsets(const transponder& carrier, const measurement_jitter& jitter) {
  uint64_t carrier_key = uint64_t{carrier.downlink_khz} << 1 | (carrier.vertical ? 1 : 0);
  uint64_t state = jitter.seed ^ splitmix64(carrier_key);
  const int64_t khz = offset_within(splitmix64(state), jitter.khz);
  const int64_t ksym = offset_within(splitmix64(state), jitter.ksym);
  return {khz, ksym};
}

std::vector<device::blindscan_result> blind_search(const std::vector<transponder>& sky,
                                                   const device::blindscan_request& request,
                                                   const measurement_jitter& jitter, const lnb& dish) {
  const bool vertical = request.pol != 0;
  const int64_t lowest_khz = int64_t{request.min_freq} * 1000;
  const int64_t highest_khz = int64_t{request.max_freq} * 1000;

  std::vector<std::pair<int64_t, const transponder*>> found;
  for (const transponder& candidate : sky) {
    if (candidate.vertical != vertical) continue;
    // A carrier the dish does not take on this band and polarisation never
    // reaches the tuner.
    const std::optional<int64_t> tuner_khz = intermediate_khz(dish, request, candidate.downlink_khz);
    if (!tuner_khz || *tuner_khz < lowest_khz || *tuner_khz > highest_khz) continue;
    if (candidate.symbol_rate < int64_t{request.min_symbol}) continue;
    if (candidate.symbol_rate > int64_t{request.max_symbol}) continue;
    found.emplace_back(*tuner_khz, &candidate);
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  std::vector<device::blindscan_result> records;
  records.reserve(found.size());
  for (const auto& [tuner_khz, hit] : found) {
    const auto [khz_off, ksym_off] = jitter_offsets(*hit, jitter);
    const int64_t symbol_rate = std::clamp<int64_t>(int64_t{hit->symbol_rate} + ksym_off, 1, UINT32_MAX);
    records.push_back(
        {static_cast<uint32_t>(tuner_khz + khz_off), static_cast<uint32_t>(symbol_rate), record_flags(*hit)});
  }
  return records;
}

}  // namespace blindscan::kit