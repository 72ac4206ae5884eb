// The faults the driver injects, each on the scan requests it names: the
// request refused or left waiting until its caller gives up, or the reads
// that follow it failed or cut short.  A node counts its scan requests from
// 1; the reads of an open file follow its last scan request.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace blindscan::emulator {

enum class fault_kind {
  fail_ioctl,  // the scan request is refused with error
  hang,        // the scan request waits until its caller is interrupted
  fail_read,   // the reads after it fail with error
  read_bytes,  // the reads after it deliver at most bytes each
};

struct scan_fault {
  uint64_t first_scan = 1;  // the scan request it falls on
  bool later_scans = true;  // and every one after it
  fault_kind kind = fault_kind::fail_ioctl;
  int error = 0;
  size_t bytes = 0;

  friend bool operator==(const scan_fault&, const scan_fault&) = default;
};

inline bool covers(const scan_fault& fault, uint64_t scan) {
  return scan == fault.first_scan || (fault.later_scans && scan > fault.first_scan);
}

// The fault of one of kinds that falls on scan: of several, the last given,
// so that a row for one scan overrides a row for every scan given before it.
inline const scan_fault* fault_on(const std::vector<scan_fault>& faults, uint64_t scan,
                                  std::initializer_list<fault_kind> kinds) {
  const auto found = std::find_if(faults.rbegin(), faults.rend(), [&](const scan_fault& fault) {
    return covers(fault, scan) && std::find(kinds.begin(), kinds.end(), fault.kind) != kinds.end();
  });
  return found != faults.rend() ? &*found : nullptr;
}

}  // namespace blindscan::emulator
