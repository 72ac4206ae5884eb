// What the emulated driver hands out after a scan request, and how much of
// it one read delivers: the records of a search, or what a real driver was
// recorded answering.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "device/blindscan_device.h"

namespace blindscan::emulator {

struct scan_records {
  std::string bytes;   // records back to back, in native byte order
  bool whole_records;  // a read delivers only whole records of these bytes
};

// The records of a blind search; a read hands out whole records only.
scan_records searched_records(const std::vector<device::blindscan_result>& records);

// Exact bytes from a file; a read hands out any number of them.
scan_records given_records(std::string bytes);

// The number of bytes a read of `asked` bytes at `offset` delivers: what is
// left after offset, no more than asked (rounded down to whole records where
// the answer asks for it) and no more than read_limit.
size_t delivery_length(const scan_records& records, uint64_t offset, size_t asked,
                       std::optional<size_t> read_limit);

// How a recorded request ended on the real driver: answered, failed with an
// errno, or not at all until its caller was interrupted.
enum class recorded_end { answered, failed, unfinished };

// One read as a real driver answered it.
struct recorded_read {
  recorded_end end = recorded_end::answered;
  std::string bytes;  // what an answered read delivered
  int error = 0;      // why a failed one failed
};

// One scan request as a real driver answered it, and the reads of the same
// file that followed it, in order.
struct recorded_scan {
  recorded_end end = recorded_end::answered;
  int error = 0;
  std::vector<recorded_read> reads;
  // The arguments (after the program's name) of the run that made it; none
  // when the recording does not tell, and it answers whichever run asks.
  std::optional<std::vector<std::string>> run{};
};

// The recorded reads after a scan, answered one per read from next on;
// scan is that scan's place among the recorded ones.
struct recorded_reads {
  std::vector<recorded_read> reads;
  size_t next = 0;
  size_t scan = 0;
};

// What the reads of a file deliver after its last scan: that scan's records,
// read from the file's position, or the recorded answers still to come.
using scan_reads = std::variant<scan_records, recorded_reads>;

}  // namespace blindscan::emulator
