#include "emulator/scan_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace blindscan::emulator {
namespace {

using std::chrono::seconds;

// Stand-ins for the kernel's requests: only their addresses matter.
fuse_req* request(int n) { return reinterpret_cast<fuse_req*>(static_cast<uintptr_t>(n) * 8); }

const scan_clock::time_point start{seconds(1000)};

scan_queue queue_of(const std::vector<seconds>& delays) {
  scan_queue queue;
  int n = 0;
  for (const seconds delay : delays) {
    ++n;
    queue.add({request(n), static_cast<uint64_t>(n), start + delay, {std::string(12, char('0' + n)), true}});
  }
  return queue;
}

TEST(ScanQueue, WaitsForTheEarliestScanAndNothingWhenEmpty) {
  EXPECT_EQ(scan_queue{}.time_to_next(start), std::nullopt);
  EXPECT_EQ(queue_of({seconds(30), seconds(10), seconds(20)}).time_to_next(start), seconds(10));
  EXPECT_EQ(queue_of({seconds(10)}).time_to_next(start + seconds(11)), seconds(0));
}

// An interrupted scan is answered at once, whatever its time and whatever
// the clock reads (the extremes would overflow a subtraction from it).
TEST(ScanQueue, InterruptedScanIsDueAtOnce) {
  for (const scan_clock::time_point now :
       {start, scan_clock::time_point::min(), scan_clock::time_point::max()}) {
    scan_queue queue = queue_of({seconds(3600), seconds(60)});
    queue.interrupt(request(1));
    EXPECT_EQ(queue.time_to_next(now), seconds(0));
  }
}

TEST(ScanQueue, TakesTheDueScansWholeInTheOrderTheyCame) {
  scan_queue queue = queue_of({seconds(5), seconds(50), seconds(1), seconds(40)});
  queue.interrupt(request(4));
  const std::vector<pending_scan> due = queue.take_due(start + seconds(5));
  ASSERT_EQ(due.size(), 3u);
  EXPECT_EQ(due[0].handle, 1u);
  EXPECT_EQ(due[1].handle, 3u);
  EXPECT_EQ(due[2].handle, 4u);
  EXPECT_TRUE(due[2].interrupted);
  EXPECT_EQ(due[1].answer.bytes, std::string(12, '3'));
  // The one left is untouched and still waits.
  EXPECT_EQ(queue.time_to_next(start + seconds(5)), seconds(45));
  const std::vector<pending_scan> last = queue.take_due(start + seconds(50));
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].answer.bytes, std::string(12, '2'));
  EXPECT_EQ(queue.time_to_next(start), std::nullopt);
}

}  // namespace
}  // namespace blindscan::emulator
