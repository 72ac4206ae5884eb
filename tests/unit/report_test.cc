#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/write_all.h"
#include "report/report.h"

namespace blindscan::report {
namespace {

using common::write_all;
using device::blindscan_result;

std::vector<blindscan_result> ascending_records(int count) {
  std::vector<blindscan_result> records;
  for (int i = 0; i < count; ++i)
    records.push_back(
        {950'000u + 1'000u * static_cast<uint32_t>(i), 27'500u, static_cast<uint32_t>(i % 2) << 2});
  return records;
}

std::vector<std::string> lines_of(const char* text, int length) {
  std::vector<std::string> lines;
  std::istringstream in(std::string(text, static_cast<size_t>(length)));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(BuildReport, NoRecordsGiveAnEmptyReport) {
  EXPECT_EQ(build_report(report_buffer, sizeof(report_buffer), nullptr, 0, 0, 0), 0);
}

TEST(BuildReport, LargestScanGivesOneLinePerRecordInDriverOrder) {
  const auto records = ascending_records(device::max_records);
  const int length =
      build_report(report_buffer, sizeof(report_buffer), records.data(), device::max_records, 1, 0);
  ASSERT_GT(length, 0);
  EXPECT_EQ(report_buffer[length - 1], '\n');
  const auto lines = lines_of(report_buffer, length);
  ASSERT_EQ(lines.size(), 120u);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string system = i % 2 ? "DVB-S2 " : "DVB-S ";
    const std::string modulation = i % 2 ? "8PSK " : "QPSK ";
    EXPECT_EQ(lines[i], "OK VERTICAL " + std::to_string(10'700'000 + 1'000 * i) + " 27500 " + system +
                            "INVERSION_AUTO PILOT_ON FEC_AUTO " + modulation + "ROLLOFF_35");
  }
}

TEST(BuildReport, BadDeliverySystemAnywhereLeavesNoReport) {
  for (int bad_index : {0, 2, 119}) {
    auto records = ascending_records(device::max_records);
    records[static_cast<size_t>(bad_index)].flags = 5u << 2;
    EXPECT_EQ(build_report(report_buffer, sizeof(report_buffer), records.data(), device::max_records, 0, 0),
              -1)
        << bad_index;
  }
}

// A full read of records that each give the longest line: the whole report,
// 120 times the longest line, fits in the report buffer and also in an area
// with just room for it and the terminator the formatting writes.
TEST(BuildReport, FullReadOfTheLongestLines) {
  const std::string longest =
      "OK HORIZONTAL 4294967295 4294967295 DVB-S2 INVERSION_AUTO PILOT_ON FEC_AUTO 8PSK ROLLOFF_35\n";
  ASSERT_EQ(longest.size(), max_line_length);
  std::string expected;
  for (int i = 0; i < device::max_records; ++i) expected += longest;
  ASSERT_EQ(expected.size(), 11'040u);
  const std::vector<blindscan_result> records(
      device::max_records,
      blindscan_result{4'294'967'295u - device::low_band_offset_khz, 4'294'967'295u, 1u << 2});

  std::vector<char> just_enough(expected.size() + 1);
  for (const auto& [out, capacity] :
       {std::pair{report_buffer, sizeof(report_buffer)}, std::pair{just_enough.data(), just_enough.size()}}) {
    const int length = build_report(out, capacity, records.data(), device::max_records, 0, 0);
    ASSERT_EQ(length, static_cast<int>(expected.size())) << capacity;
    EXPECT_EQ(std::string(out, expected.size()), expected) << capacity;
  }
}

// Reads everything from fd until end of file.
std::string drain(int fd) {
  std::string all;
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof(chunk))) > 0;) all.append(chunk, static_cast<size_t>(n));
  return all;
}

TEST(WriteAll, DeliversEverythingThroughShortWritesToANonBlockingPipe) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(fcntl(fds[1], F_SETFL, O_NONBLOCK), 0);
  std::string data(300'000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);

  std::string received;
  std::thread reader([&] { received = drain(fds[0]); });
  const bool written = write_all(fds[1], data.data(), data.size());
  close(fds[1]);
  reader.join();
  close(fds[0]);
  EXPECT_TRUE(written);
  EXPECT_EQ(received, data);
}

TEST(WriteAll, FailsWhenTheDescriptorTakesNothing) {
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  EXPECT_FALSE(write_all(full, "x", 1));
  close(full);
  EXPECT_FALSE(write_all(-1, "x", 1));
}

TEST(WriteAll, NothingToWriteSucceedsWithoutTouchingTheDescriptor) { EXPECT_TRUE(write_all(-1, "", 0)); }

}  // namespace
}  // namespace blindscan::report
