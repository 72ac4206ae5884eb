#include "emulator/input/answers_file.h"

#include <algorithm>
#include <set>
#include <string>

#include "kit/errno_names.h"
#include "kit/text.h"

namespace blindscan::emulator {

namespace {

// How a scan or read line ends, from its words after the first: nothing (or
// the bytes of a read), "failed ERRNO" or "unfinished".
kit::result<recorded_end> ending_of(const std::vector<std::string_view>& fields, int& error) {
  if (fields.size() == 2 && fields[1] == "unfinished") return recorded_end::unfinished;
  if (fields.size() >= 2 && fields[1] == "failed") {
    if (fields.size() != 3) return kit::failure{"expected failed ERRNO, such as failed EIO"};
    const kit::result<int> value = kit::errno_value(fields[2]);
    if (!value) return kit::failure{value.error()};
    error = *value;
    return recorded_end::failed;
  }
  return recorded_end::answered;
}

// The bytes that hex digits give, two a byte; blanks may stand between bytes.
kit::result<std::string> bytes_of(const std::vector<std::string_view>& words) {
  std::string bytes;
  for (const std::string_view word : words) {
    if (word.size() % 2 != 0)
      return kit::failure{"hex bytes " + kit::quoted(word) + " have an odd number of digits"};
    for (size_t at = 0; at < word.size(); at += 2) {
      unsigned char byte = 0;
      if (!kit::parse_number(word.substr(at, 2), byte, 16))
        return kit::failure{kit::quoted(word) + " is not hex bytes"};
      bytes += static_cast<char>(byte);
    }
  }
  return bytes;
}

// "open" or "open failed ERRNO": the next open of node, taken or refused.
kit::result<void> add_open(recorded_node& node, const std::vector<std::string_view>& fields) {
  int error = 0;
  const kit::result<recorded_end> end = ending_of(fields, error);
  if (!end) return kit::failure{end.error()};
  if (*end == recorded_end::unfinished || (*end == recorded_end::answered && fields.size() > 1))
    return kit::failure{"expected open or open failed ERRNO"};
  node.opens.push_back(error);
  return {};
}

// "scan", "scan failed ERRNO" or "scan unfinished", with "run ARG..." at
// the end naming the run that made it: the next scan of node.
kit::result<void> add_scan(recorded_node& node, const std::vector<std::string_view>& fields) {
  recorded_scan scan;
  const auto run = std::find(fields.begin(), fields.end(), "run");
  if (run != fields.end()) scan.run = std::vector<std::string>(run + 1, fields.end());
  const std::vector<std::string_view> ending(fields.begin(), run);
  const kit::result<recorded_end> end = ending_of(ending, scan.error);
  if (!end) return kit::failure{end.error()};
  if (*end == recorded_end::answered && ending.size() > 1)
    return kit::failure{"expected scan, scan failed ERRNO or scan unfinished"};
  scan.end = *end;
  node.scans.push_back(std::move(scan));
  return {};
}

// "read HEX...", "read failed ERRNO" or "read unfinished": the next read
// after node's last scan.
kit::result<void> add_read(recorded_node& node, const std::vector<std::string_view>& fields) {
  if (node.scans.empty())
    return kit::failure{"read before the first scan of device " + std::to_string(node.device_number)};
  recorded_read read;
  const kit::result<recorded_end> end = ending_of(fields, read.error);
  if (!end) return kit::failure{end.error()};
  read.end = *end;
  if (read.end == recorded_end::answered) {
    kit::result<std::string> bytes = bytes_of({fields.begin() + 1, fields.end()});
    if (!bytes) return kit::failure{bytes.error()};
    read.bytes = std::move(*bytes);
  }
  node.scans.back().reads.push_back(std::move(read));
  return {};
}

// One line of the file, its words in fields: a device line starts a node;
// the others add to the last one.
kit::result<void> add_line(std::vector<recorded_node>& nodes, std::set<int32_t>& devices,
                           const std::vector<std::string_view>& fields) {
  const std::string_view keyword = fields.front();
  if (keyword == "device") {
    int32_t number = 0;
    const std::string_view text = fields.size() == 2 ? fields[1] : std::string_view{};
    if (!kit::parse_number(text, number)) return kit::failure{"expected device N, N a 32-bit device number"};
    if (!devices.insert(number).second) return kit::failure{"device " + std::string(text) + " given twice"};
    nodes.push_back({number, {}, {}});
    return {};
  }
  if (keyword != "open" && keyword != "scan" && keyword != "read")
    return kit::failure{"expected device, open, scan or read, found " + kit::quoted(keyword)};
  if (nodes.empty()) return kit::failure{std::string(keyword) + " before the first device line"};
  if (keyword == "open") return add_open(nodes.back(), fields);
  if (keyword == "scan") return add_scan(nodes.back(), fields);
  return add_read(nodes.back(), fields);
}

}  // namespace

kit::result<std::vector<recorded_node>> parse_answers(std::string_view text, std::string_view source_name) {
  std::vector<recorded_node> nodes;
  std::set<int32_t> devices;
  for (const kit::content_line& line : kit::content_lines(text)) {
    if (const kit::result<void> added = add_line(nodes, devices, kit::split_fields(line.text)); !added)
      return kit::at_line(source_name, line.number, added.error());
  }
  if (nodes.empty()) return kit::failure{std::string(source_name) + ": names no device (a device N line)"};
  return nodes;
}

}  // namespace blindscan::emulator
