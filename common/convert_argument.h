// A number on the tool's command line, read as the tool reads it: the tool
// itself for its seven arguments, and the kit wherever a user repeats them
// (the stand-in's --device, the after-scan commands' --sweep).
#pragma once

#include <stdint.h>

namespace blindscan::common {

// strtol with base 0, saturated to the signed 32-bit range whatever the
// width of long: leading white space, an optional sign, 0x/0X for hex, a
// leading 0 for octal; conversion stops at the first non-digit and an
// argument with no digits converts to 0.  Where stop is given, it is set to
// the first character not read (text itself when no digit was).
int32_t convert_argument(const char* text, const char** stop = nullptr);

}  // namespace blindscan::common
