// Checks the argument conversion against two independent references over
// arbitrary bytes: the C library's strtoll with base 0, and a parser written
// from the conversion rules (white space, sign, base prefix, digits).  Both saturate to the signed 32-bit
// range, so the check holds the same on a host whose long is 64 bits wide as on the 32-bit target.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/convert_argument.h"

namespace {

int32_t saturate(long long value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t via_strtoll(const char* text) { return saturate(std::strtoll(text, nullptr, 0)); }

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The value of c as a digit in bases up to 16, or -1.
int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Leading white space, an optional sign, 0x/0X followed by a hex digit for
// hex, a leading 0 for octal, else decimal; digits up to the first that is
// not one of the base; saturated to 32 bits.
int32_t by_the_rules(const char* text) {
  while (is_space(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  int base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && digit_value(text[2]) >= 0) {
    base = 16;
    text += 2;
  } else if (text[0] == '0') {
    base = 8;
  }
  // Anything beyond 2^31 saturates either way; stop growing there so the
  // magnitude never overflows.
  constexpr uint64_t ceiling = uint64_t{1} << 32;
  uint64_t magnitude = 0;
  for (int digit = digit_value(*text); digit >= 0 && digit < base; digit = digit_value(*++text)) {
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (magnitude > ceiling) magnitude = ceiling;
  }
  const long long value = static_cast<long long>(magnitude);
  return saturate(negative ? -value : value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An argument is a C string: it ends at the first NUL byte, if any.
  const std::string argument(reinterpret_cast<const char*>(data), size);
  const char* text = argument.c_str();

  const int32_t converted = blindscan::common::convert_argument(text);
  const int32_t library = via_strtoll(text);
  const int32_t rules = by_the_rules(text);
  if (converted != library || converted != rules) {
    std::fprintf(stderr, "conversion of \"%s\": tool %d, strtoll %d, rules %d\n", text, converted, library,
                 rules);
    std::abort();
  }
  return 0;
}
