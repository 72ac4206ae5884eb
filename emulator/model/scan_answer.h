// What the emulated driver hands out after an accepted scan request, and how
// much of it one read delivers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/blindscan_device.h"

namespace blindscan::emulator {

struct scan_answer {
  std::string bytes;   // records back to back, in native byte order
  bool whole_records;  // a read delivers only whole records of these bytes
};

// The records of a blind search; a read hands out whole records only.
scan_answer answer_from_records(const std::vector<device::blindscan_result>& records);

// Exact bytes from a file; a read hands out any number of them.
scan_answer answer_from_bytes(std::string bytes);

// The number of bytes a read of `asked` bytes at `offset` delivers: what is
// left after offset, no more than asked (rounded down to whole records where
// the answer asks for it) and no more than read_limit.
size_t delivery_length(const scan_answer& answer, uint64_t offset, size_t asked,
                       std::optional<size_t> read_limit);

}  // namespace blindscan::emulator
