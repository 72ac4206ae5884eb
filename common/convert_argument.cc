#include "common/convert_argument.h"

#include <stdlib.h>

namespace blindscan::common {

int32_t convert_argument(const char* text, const char** stop) {
  // strtol's end pointer is not const, though it points into text.
  const long value = strtol(text, const_cast<char**>(stop), 0);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace blindscan::common
