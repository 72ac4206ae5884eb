#include "emulator/model/pending_requests.h"

#include <algorithm>
#include <iterator>

namespace blindscan::emulator {

namespace {

bool is_due(const pending_request& request, scan_clock::time_point now) {
  return request.interrupted || (request.due && *request.due <= now);
}

}  // namespace

void pending_requests::interrupt(uint64_t ticket) {
  for (pending_request& request : waiting_)
    if (request.ticket == ticket) request.interrupted = true;
}

std::optional<scan_clock::duration> pending_requests::time_to_next(scan_clock::time_point now) const {
  std::optional<scan_clock::duration> shortest;
  for (const pending_request& request : waiting_) {
    // Only a time still ahead is subtracted, which cannot overflow.
    if (is_due(request, now)) return scan_clock::duration::zero();
    if (request.due) shortest = std::min(shortest.value_or(scan_clock::duration::max()), *request.due - now);
  }
  return shortest;
}

std::vector<pending_request> pending_requests::take_due(scan_clock::time_point now) {
  const auto first_due =
      std::stable_partition(waiting_.begin(), waiting_.end(),
                            [now](const pending_request& request) { return !is_due(request, now); });
  std::vector<pending_request> due(std::make_move_iterator(first_due),
                                   std::make_move_iterator(waiting_.end()));
  waiting_.erase(first_due, waiting_.end());
  // Scans of different lengths fall due in another order than they came.
  std::stable_sort(due.begin(), due.end(), [](const pending_request& a, const pending_request& b) {
    return a.interrupted != b.interrupted ? a.interrupted : a.due < b.due;
  });
  return due;
}

}  // namespace blindscan::emulator
