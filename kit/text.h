// What the kit's text inputs share: lines that hold something, with
// their numbers for messages.
#pragma once

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

#include "kit/messages.h"

namespace blindscan::kit {

// A line that holds something: its number from 1 and its text without the
// '#' comment and the white space around it.
struct content_line {
  int number;
  std::string_view text;
};

// The lines of text that hold something, blank lines and comments left out.
std::vector<content_line> content_lines(std::string_view text);

// text without the blanks, tabs and carriage returns around it.
std::string_view trimmed(std::string_view text);

// The fields of a line, separated by blanks or tabs.
std::vector<std::string_view> split_fields(std::string_view line);

// Reads the whole of text as a number in base into value; false, with
// value unspecified, for empty text or anything else in it.
template <typename number>
bool parse_number(std::string_view text, number& value, int base = 10) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  return !text.empty() && error == std::errc{} && stop == end;
}

// As parse_number, for a number above zero.
template <typename number>
bool parse_positive(std::string_view text, number& value) {
  return parse_number(text, value) && value > 0;
}

// "SOURCE:LINE: what", the failure of one line of an input.
failure at_line(std::string_view source_name, int line_number, const std::string& what);

}  // namespace blindscan::kit
