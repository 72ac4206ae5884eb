// --fault SCANS:FAULT, which puts a fault on the scan requests chosen.
#pragma once

#include <string>
#include <string_view>

#include "emulator/model/scan_faults.h"
#include "kit/result.h"

namespace blindscan::emulator {

// Reads "N:FAULT" (the Nth scan request only) or "N+:FAULT" (the Nth and
// every one after), FAULT being fail-ioctl=ERRNO, hang, fail-read=ERRNO,
// read-bytes=BYTES or one of the kit's installation faults, in its syntax.
kit::result<scan_fault> parse_fault(std::string_view text);

// The installation faults, for the help: each with its value and what it
// does, "no-tone (the 22 kHz tone ...), ... or rate-floor=KSYM (...)".
std::string installation_fault_help();

}  // namespace blindscan::emulator
