#include "emulator/input/answers_file.h"

#include <charconv>
#include <set>
#include <string>

#include "emulator/common/errno_names.h"
#include "emulator/input/input_text.h"

namespace blindscan::emulator {

namespace {

// How a scan or read line ends, from its words after the first: nothing (or
// the bytes of a read), "failed ERRNO" or "unfinished".
result<recorded_end> ending_of(const std::vector<std::string_view>& fields, int& error) {
  if (fields.size() == 2 && fields[1] == "unfinished") return recorded_end::unfinished;
  if (fields.size() >= 2 && fields[1] == "failed") {
    if (fields.size() != 3) return failure{"expected failed ERRNO, such as failed EIO"};
    const std::optional<int> value = errno_from_name(fields[2]);
    if (!value) return failure{"unknown errno name " + quoted(fields[2]) + " (use a name such as EIO)"};
    error = *value;
    return recorded_end::failed;
  }
  return recorded_end::answered;
}

// The bytes that hex digits give, two a byte; blanks may stand between bytes.
result<std::string> bytes_of(const std::vector<std::string_view>& words) {
  std::string bytes;
  for (const std::string_view word : words) {
    if (word.size() % 2 != 0) return failure{"hex bytes " + quoted(word) + " have an odd number of digits"};
    for (size_t at = 0; at < word.size(); at += 2) {
      unsigned char byte = 0;
      const char* end = word.data() + at + 2;
      const auto [stop, problem] = std::from_chars(word.data() + at, end, byte, 16);
      if (problem != std::errc{} || stop != end) return failure{quoted(word) + " is not hex bytes"};
      bytes += static_cast<char>(byte);
    }
  }
  return bytes;
}

result<void> add_line(std::vector<recorded_node>& nodes, std::set<int32_t>& devices,
                      const std::vector<std::string_view>& fields) {
  const std::string_view keyword = fields.front();
  if (keyword == "device") {
    int32_t number = 0;
    const std::string_view text = fields.size() == 2 ? fields[1] : std::string_view{};
    const auto [stop, problem] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || problem != std::errc{} || stop != text.data() + text.size())
      return failure{"expected device N, N a 32-bit device number"};
    if (!devices.insert(number).second) return failure{"device " + std::string(text) + " given twice"};
    nodes.push_back({number, {}});
    return {};
  }
  if (keyword != "scan" && keyword != "read")
    return failure{"expected device, scan or read, found " + quoted(keyword)};
  if (nodes.empty()) return failure{std::string(keyword) + " before the first device line"};
  std::vector<recorded_scan>& scans = nodes.back().scans;
  if (keyword == "scan") {
    recorded_scan scan;
    const result<recorded_end> end = ending_of(fields, scan.error);
    if (!end) return failure{end.error()};
    if (*end == recorded_end::answered && fields.size() > 1)
      return failure{"expected scan, scan failed ERRNO or scan unfinished"};
    scan.end = *end;
    scans.push_back(std::move(scan));
    return {};
  }
  if (scans.empty())
    return failure{"read before the first scan of device " + std::to_string(nodes.back().device_number)};
  recorded_read read;
  const result<recorded_end> end = ending_of(fields, read.error);
  if (!end) return failure{end.error()};
  read.end = *end;
  if (read.end == recorded_end::answered) {
    result<std::string> bytes = bytes_of({fields.begin() + 1, fields.end()});
    if (!bytes) return failure{bytes.error()};
    read.bytes = std::move(*bytes);
  }
  scans.back().reads.push_back(std::move(read));
  return {};
}

}  // namespace

result<std::vector<recorded_node>> parse_answers(std::string_view text, std::string_view source_name) {
  std::vector<recorded_node> nodes;
  std::set<int32_t> devices;
  for (const content_line& line : content_lines(text)) {
    if (const result<void> added = add_line(nodes, devices, split_fields(line.text)); !added)
      return at_line(source_name, line.number, added.error());
  }
  if (nodes.empty()) return failure{std::string(source_name) + ": names no device (a device N line)"};
  return nodes;
}

}  // namespace blindscan::emulator
