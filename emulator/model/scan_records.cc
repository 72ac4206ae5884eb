#include "emulator/model/scan_records.h"

#include <algorithm>
#include <utility>

namespace blindscan::emulator {

scan_answer answer_from_records(const std::vector<device::blindscan_result>& records) {
  const auto* first = reinterpret_cast<const char*>(records.data());
  return {std::string(first, records.size() * sizeof(device::blindscan_result)), true};
}

scan_answer answer_from_bytes(std::string bytes) { return {std::move(bytes), false}; }

size_t delivery_length(const scan_answer& answer, uint64_t offset, size_t asked,
                       std::optional<size_t> read_limit) {
  if (offset >= answer.bytes.size()) return 0;
  size_t length = std::min(answer.bytes.size() - static_cast<size_t>(offset), asked);
  if (answer.whole_records) length -= length % sizeof(device::blindscan_result);
  if (read_limit) length = std::min(length, *read_limit);
  return length;
}

}  // namespace blindscan::emulator
