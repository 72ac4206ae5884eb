#include "emulator/model/pending_requests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace blindscan::emulator {
namespace {

using std::chrono::seconds;

const scan_clock::time_point start{seconds(1000)};

// Scans with tickets 1, 2, ... due after the given delays.
pending_requests queue_of(const std::vector<seconds>& delays) {
  pending_requests queue;
  uint64_t n = 0;
  for (const seconds delay : delays) {
    ++n;
    queue.add({n, n, request_kind::scan, start + delay, scan_records{std::string(12, char('0' + n)), true}});
  }
  return queue;
}

std::vector<uint64_t> tickets(const std::vector<pending_request>& scans) {
  std::vector<uint64_t> out;
  for (const pending_request& scan : scans) out.push_back(scan.ticket);
  return out;
}

TEST(ScanQueue, WaitsForTheEarliestScanAndNothingWhenEmpty) {
  EXPECT_EQ(pending_requests{}.time_to_next(start), std::nullopt);
  EXPECT_EQ(queue_of({seconds(30), seconds(10), seconds(20)}).time_to_next(start), seconds(10));
  EXPECT_EQ(queue_of({seconds(10)}).time_to_next(start + seconds(11)), seconds(0));
}

// An interrupted scan is answered at once, whatever its time and whatever
// the clock reads (the extremes would overflow a subtraction from it).
TEST(ScanQueue, InterruptedScanIsDueAtOnce) {
  for (const scan_clock::time_point now :
       {start, scan_clock::time_point::min(), scan_clock::time_point::max()}) {
    pending_requests queue = queue_of({seconds(3600), seconds(60)});
    queue.interrupt(1);
    EXPECT_EQ(queue.time_to_next(now), seconds(0));
  }
}

TEST(ScanQueue, TakesTheDueScansWholeInTheOrderTheyFellDue) {
  pending_requests queue = queue_of({seconds(5), seconds(50), seconds(1), seconds(40)});
  queue.interrupt(4);
  const std::vector<pending_request> due = queue.take_due(start + seconds(5));
  EXPECT_EQ(tickets(due), (std::vector<uint64_t>{4, 3, 1}));
  EXPECT_TRUE(due[0].interrupted);
  EXPECT_EQ(std::get<scan_records>(due[1].reads).bytes, std::string(12, '3'));
  // The one left is untouched and still waits.
  EXPECT_EQ(queue.time_to_next(start + seconds(5)), seconds(45));
  EXPECT_EQ(tickets(queue.take_due(start + seconds(50))), (std::vector<uint64_t>{2}));
  EXPECT_EQ(queue.time_to_next(start), std::nullopt);
}

}  // namespace
}  // namespace blindscan::emulator
