#include "emulator/model/scan_records.h"

#include <algorithm>
#include <utility>

namespace blindscan::emulator {

scan_records searched_records(const std::vector<device::blindscan_result>& records) {
  const auto* first = reinterpret_cast<const char*>(records.data());
  return {std::string(first, records.size() * sizeof(device::blindscan_result)), true};
}

scan_records given_records(std::string bytes) { return {std::move(bytes), false}; }

size_t delivery_length(const scan_records& records, uint64_t offset, size_t asked,
                       std::optional<size_t> read_limit) {
  if (offset >= records.bytes.size()) return 0;
  size_t length = std::min(records.bytes.size() - static_cast<size_t>(offset), asked);
  if (records.whole_records) length -= length % sizeof(device::blindscan_result);
  if (read_limit) length = std::min(length, *read_limit);
  return length;
}

}  // namespace blindscan::emulator
