// Requests that wait: a scan that takes time waits until it is due, and a
// request that a real driver never answered waits until its caller is
// interrupted; each is then answered.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/model/scan_records.h"

namespace blindscan::emulator {

using scan_clock = std::chrono::steady_clock;

enum class request_kind { scan, read };

struct pending_request {
  uint64_t ticket;  // what the answer is given under
  uint64_t file;    // the open file that made the request
  request_kind kind = request_kind::scan;
  std::optional<scan_clock::time_point> due{};  // none: only an interruption ends it
  scan_reads reads{};                           // what the file's reads deliver once a scan is answered
  std::optional<int> refusal{};                 // the errno a scan then fails with
  bool interrupted = false;
};

class pending_requests {
 public:
  void add(pending_request request) { waiting_.push_back(std::move(request)); }

  // The request under ticket is to be answered at once, as interrupted.
  void interrupt(uint64_t ticket);

  // How long until the next request is to be answered: nothing when none
  // waits for a time, zero when one is due or interrupted.
  std::optional<scan_clock::duration> time_to_next(scan_clock::time_point now) const;

  // Removes the requests that are due at now or interrupted and returns them
  // in the order they fell due, interrupted ones first.
  std::vector<pending_request> take_due(scan_clock::time_point now);

 private:
  std::vector<pending_request> waiting_;
};

}  // namespace blindscan::emulator
