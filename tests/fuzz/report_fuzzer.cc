// Builds the report from arbitrary record bytes and checks every byte of it
// against the ten-token line layout, token by token.  A second build into a
// heap area of a fuzzed, exact size checks that a short buffer is refused
// rather than overrun.  The tool's own decimal formatting is checked byte
// for byte against snprintf, over fixed values across both 32-bit ranges
// and over every fuzzed number.
//
// Input: pol (4 bytes, native order), hilow_band (4 bytes), a capacity for
// the second build (2 bytes), then the bytes a read delivered (at most 1,440;
// any count, a trailing partial record included).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "device/decimal.h"
#include "report/report.h"

namespace {

using blindscan::device::blindscan_result;

constexpr size_t read_limit = 1440;
constexpr size_t record_size = 12;
constexpr size_t longest_line = 92;  // line feed included
// The longest decimal text of a 32-bit value: "-2147483648" and "4294967295".
constexpr int max_decimal_length = 11;

[[noreturn]] void fail(const char* what, size_t line) {
  std::fprintf(stderr, "report: %s (line %zu)\n", what, line);
  std::abort();
}

template <typename T>
T take(const uint8_t*& data, size_t& size) {
  T value{};
  if (size >= sizeof(value)) {
    std::memcpy(&value, data, sizeof(value));
    data += sizeof(value);
    size -= sizeof(value);
  }
  return value;
}

uint32_t system_bits(uint32_t flags) { return (flags >> 2) & 7u; }

// The formatted text must equal snprintf's, and nothing past it is written.
template <typename T>
void check_decimal(T value) {
  char expected[16];
  std::snprintf(expected, sizeof(expected), std::is_signed_v<T> ? "%d" : "%u", value);
  char out[16];
  std::memset(out, '#', sizeof(out));
  int length = 0;
  if constexpr (std::is_signed_v<T>) {
    length = blindscan::device::format_signed_decimal(out, value);
  } else {
    length = blindscan::device::format_unsigned_decimal(out, value);
  }
  if (length < 1 || length > max_decimal_length ||
      std::string(out, static_cast<size_t>(length)) != expected || out[length] != '#') {
    std::fprintf(stderr, "report: decimal of %s formatted wrongly\n", expected);
    std::abort();
  }
}

// Zero, every power of ten and its neighbours, and both ends of each range.
void check_decimal_ranges() {
  for (uint64_t power = 1; power <= UINT32_MAX; power *= 10) {
    for (const uint64_t value : {power - 1, power, power + 1}) {
      check_decimal(static_cast<uint32_t>(value));
      if (value <= INT32_MAX) {
        check_decimal(static_cast<int32_t>(value));
        check_decimal(static_cast<int32_t>(-static_cast<int64_t>(value)));
      }
    }
  }
  for (const uint32_t value : {0u, 1u, UINT32_MAX - 1, UINT32_MAX, uint32_t{INT32_MAX} + 1})
    check_decimal(value);
  for (const int32_t value : {0, INT32_MIN, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX}) check_decimal(value);
}

// The ten tokens a record's line must hold, worked out from the record alone.
std::vector<std::string> expected_tokens(const blindscan_result& record, int32_t pol, int32_t hilow_band) {
  const uint64_t offset = hilow_band == 0 ? 9'750'000u : 10'600'000u;
  const uint64_t downlink = (uint64_t{record.frequency} + offset) % (uint64_t{1} << 32);
  const bool s2 = system_bits(record.flags) == 1;
  return {"OK",
          pol != 0 ? "VERTICAL" : "HORIZONTAL",
          std::to_string(downlink),
          std::to_string(record.symbol_rate),
          s2 ? "DVB-S2" : "DVB-S",
          "INVERSION_AUTO",
          "PILOT_ON",
          "FEC_AUTO",
          s2 ? "8PSK" : "QPSK",
          "ROLLOFF_35"};
}

// Checks text against the records: one line per record in order, each at
// most 92 bytes, exactly ten tokens joined by single spaces, each token the
// one the record and the request call for.
void check_report(const std::string& text, const std::vector<blindscan_result>& records, int32_t pol,
                  int32_t hilow_band) {
  size_t start = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) fail("missing line", i);
    const std::string line = text.substr(start, end - start);
    if (line.size() + 1 > longest_line) fail("line longer than 92 bytes", i);
    std::vector<std::string> tokens;
    for (size_t from = 0;;) {
      const size_t space = line.find(' ', from);
      tokens.push_back(line.substr(from, space - from));
      if (space == std::string::npos) break;
      from = space + 1;
    }
    if (tokens.size() != 10) fail("not ten tokens", i);
    if (tokens != expected_tokens(records[i], pol, hilow_band)) fail("wrong token", i);
    start = end + 1;
  }
  if (start != text.size()) fail("bytes after the last line", records.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace report = blindscan::report;
  static const bool ranges_checked = (check_decimal_ranges(), true);
  (void)ranges_checked;
  const auto pol = take<int32_t>(data, size);
  const auto hilow_band = take<int32_t>(data, size);
  check_decimal(pol);
  check_decimal(hilow_band);
  const auto capacity = take<uint16_t>(data, size);
  const size_t delivered = size < read_limit ? size : read_limit;

  // Exactly the whole records delivered, in an area of exactly their size,
  // so that reading one record too many is caught.
  std::vector<blindscan_result> records(delivered / record_size);
  if (!records.empty()) std::memcpy(records.data(), data, records.size() * record_size);
  const int count = blindscan::device::record_count(delivered);
  if (count != static_cast<int>(records.size())) fail("record count", 0);

  bool recognised = true;
  for (const blindscan_result& record : records) {
    recognised = recognised && system_bits(record.flags) <= 1;
    check_decimal(record.frequency);
    check_decimal(record.symbol_rate);
  }

  const int length = report::build_report(report::report_buffer, sizeof(report::report_buffer),
                                          records.data(), count, pol, hilow_band);
  if (!recognised) {
    if (length != -1) fail("unrecognised delivery system not refused", 0);
  } else {
    if (length < 0) fail("valid records refused", 0);
    check_report(std::string(report::report_buffer, static_cast<size_t>(length)), records, pol, hilow_band);
  }

  // The same records into a heap area of exactly capacity bytes: either the
  // same report, or refused.
  std::vector<char> small(capacity);
  const int small_length =
      report::build_report(small.data(), small.size(), records.data(), count, pol, hilow_band);
  if (small_length != -1) {
    if (small_length != length) fail("short buffer gave a different report", 0);
    if (length > 0 && std::memcmp(small.data(), report::report_buffer, static_cast<size_t>(length)) != 0)
      fail("short buffer gave different bytes", 0);
  }
  return 0;
}
