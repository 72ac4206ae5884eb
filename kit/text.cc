#include "kit/text.h"

#include <algorithm>

namespace blindscan::kit {

namespace {

constexpr std::string_view blanks = " \t\r";

}  // namespace

std::string_view trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::vector<content_line> content_lines(std::string_view text) {
  std::vector<content_line> lines;
  int number = 0;
  while (!text.empty()) {
    ++number;
    const size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
    line = trimmed(line.substr(0, line.find('#')));
    if (!line.empty()) lines.push_back({number, line});
  }
  return lines;
}

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  while (true) {
    at = line.find_first_not_of(blanks, at);
    if (at == std::string_view::npos) break;
    const size_t end = std::min(line.find_first_of(blanks, at), line.size());
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
  return fields;
}

failure at_line(std::string_view source_name, int line_number, const std::string& what) {
  return failure{std::string(source_name) + ":" + std::to_string(line_number) + ": " + what};
}

}  // namespace blindscan::kit
