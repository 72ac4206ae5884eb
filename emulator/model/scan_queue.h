// Scan requests that take time: each waits until it is due, or until the
// caller interrupts it, and is then answered.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/model/scan_answer.h"

namespace blindscan::emulator {

using scan_clock = std::chrono::steady_clock;

struct pending_scan {
  uint64_t ticket;  // what the answer is given under
  uint64_t file;    // the open file that made the request
  scan_clock::time_point due;
  scan_answer answer;
  bool interrupted = false;
};

class scan_queue {
 public:
  void add(pending_scan scan) { scans_.push_back(std::move(scan)); }

  // The scan under ticket is to be answered at once, as interrupted.
  void interrupt(uint64_t ticket);

  // How long until the next scan is to be answered: nothing when none waits,
  // zero when one is due or interrupted.
  std::optional<scan_clock::duration> time_to_next(scan_clock::time_point now) const;

  // Removes the scans that are due at now or interrupted and returns them in
  // the order they fell due, interrupted ones first.
  std::vector<pending_scan> take_due(scan_clock::time_point now);

 private:
  std::vector<pending_scan> scans_;
};

}  // namespace blindscan::emulator
