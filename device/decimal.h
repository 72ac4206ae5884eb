// Decimal digits for the node name and the report lines, written by hand so
// that the shipped executable carries no printf machinery.
#pragma once

#include <stdint.h>

namespace blindscan::device {

// Writes value in unsigned decimal, without leading zeros or terminator, at
// out; returns the number of characters written (1 to 10).
inline int format_unsigned_decimal(char* out, uint32_t value) {
  char reversed[10];
  int count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
  return count;
}

// Writes value in signed decimal (a minus sign, then the magnitude), without
// leading zeros or terminator, at out; returns the number of characters
// written (1 to 11).
inline int format_signed_decimal(char* out, int32_t value) {
  if (value >= 0) return format_unsigned_decimal(out, static_cast<uint32_t>(value));
  out[0] = '-';
  // The magnitude in unsigned arithmetic, so that INT32_MIN does not overflow.
  return 1 + format_unsigned_decimal(out + 1, 0u - static_cast<uint32_t>(value));
}

}  // namespace blindscan::device
