#include "emulator/model/pending_requests.h"

#include <algorithm>
#include <iterator>

namespace blindscan::emulator {

namespace {

bool is_due(const pending_request& scan, scan_clock::time_point now) {
  return scan.interrupted || (scan.due && *scan.due <= now);
}

}  // namespace

void pending_requests::interrupt(uint64_t ticket) {
  for (pending_request& scan : scans_)
    if (scan.ticket == ticket) scan.interrupted = true;
}

std::optional<scan_clock::duration> pending_requests::time_to_next(scan_clock::time_point now) const {
  std::optional<scan_clock::duration> shortest;
  for (const pending_request& scan : scans_) {
    // Only a time still ahead is subtracted, which cannot overflow.
    if (is_due(scan, now)) return scan_clock::duration::zero();
    if (scan.due) shortest = std::min(shortest.value_or(scan_clock::duration::max()), *scan.due - now);
  }
  return shortest;
}

std::vector<pending_request> pending_requests::take_due(scan_clock::time_point now) {
  const auto first_due = std::stable_partition(
      scans_.begin(), scans_.end(), [now](const pending_request& scan) { return !is_due(scan, now); });
  std::vector<pending_request> due(std::make_move_iterator(first_due), std::make_move_iterator(scans_.end()));
  scans_.erase(first_due, scans_.end());
  // Scans of different lengths fall due in another order than they came.
  std::stable_sort(due.begin(), due.end(), [](const pending_request& a, const pending_request& b) {
    return a.interrupted != b.interrupted ? a.interrupted : a.due < b.due;
  });
  return due;
}

}  // namespace blindscan::emulator
