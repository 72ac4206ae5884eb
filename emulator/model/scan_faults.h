// The faults the driver injects, each on the scan requests it names: the
// request refused or left waiting until its caller gives up, the reads that
// follow it failed or cut short, or the sky searched as a faulty
// installation of the dish serves it.  A node counts its scan requests from
// 1; the reads of an open file follow its last scan request.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "kit/installation_faults.h"

namespace blindscan::emulator {

enum class fault_kind {
  fail_ioctl,    // the scan request is refused with error
  hang,          // the scan request waits until its caller is interrupted
  fail_read,     // the reads after it fail with error
  read_bytes,    // the reads after it deliver at most bytes each
  installation,  // a search of the sky answers it as the installation serves it
};

struct scan_fault {
  uint64_t first_scan = 1;  // the scan request it falls on
  bool later_scans = true;  // and every one after it
  fault_kind kind = fault_kind::fail_ioctl;
  int error = 0;
  size_t bytes = 0;
  kit::installation_fault installation{};  // which, for installation

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

// The installation faults that fall on scan, in the order given: of two of
// one kind, the last given, as for the other faults.  Those of other kinds
// stand together (a tone stuck on and none at all: the last given, as the
// kit serves them in turn).
inline std::vector<kit::installation_fault> installation_faults_on(const std::vector<scan_fault>& faults,
                                                                   uint64_t scan) {
  std::vector<kit::installation_fault> on;
  for (const scan_fault& fault : faults) {
    if (fault.kind != fault_kind::installation || !covers(fault, scan)) continue;
    std::erase_if(
        on, [&](const kit::installation_fault& earlier) { return earlier.kind == fault.installation.kind; });
    on.push_back(fault.installation);
  }
  return on;
}

}  // namespace blindscan::emulator
