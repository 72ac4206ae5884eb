// --fault SCANS:FAULT, which puts a fault on the scan requests chosen.
#pragma once

#include <string_view>

#include "emulator/model/scan_faults.h"
#include "kit/result.h"

namespace blindscan::emulator {

// Reads "N:FAULT" (the Nth scan request only) or "N+:FAULT" (the Nth and
// every one after), FAULT being fail-ioctl=ERRNO, hang, fail-read=ERRNO or
// read-bytes=BYTES.
kit::result<scan_fault> parse_fault(std::string_view text);

}  // namespace blindscan::emulator
