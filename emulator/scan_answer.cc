#include "emulator/record_serving.h"

#include <algorithm>
#include <utility>

namespace blindscan::emulator {

result_set records_result(const std::vector<device::blindscan_result>& records) {
  const auto* first = reinterpret_cast<const char*>(records.data());
  return {std::string(first, records.size() * sizeof(device::blindscan_result)), true};
}

result_set raw_result(std::string bytes) { return {std::move(bytes), false}; }

size_t delivery_length(const result_set& results, uint64_t offset, size_t asked,
                       std::optional<size_t> read_limit) {
  if (offset >= results.bytes.size()) return 0;
  size_t length = std::min(results.bytes.size() - static_cast<size_t>(offset), asked);
  if (results.whole_records) length -= length % sizeof(device::blindscan_result);
  if (read_limit) length = std::min(length, *read_limit);
  return length;
}

}  // namespace blindscan::emulator
