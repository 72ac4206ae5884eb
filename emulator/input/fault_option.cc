#include "emulator/input/fault_option.h"

#include <string>

#include "kit/errno_names.h"
#include "kit/messages.h"
#include "kit/text.h"

namespace blindscan::emulator {

namespace {

// The fault itself, "hang" or "NAME=VALUE", into fault.
kit::result<void> read_fault(std::string_view text, scan_fault& fault) {
  if (text == "hang") {
    fault.kind = fault_kind::hang;
    return {};
  }
  const size_t equals = text.find('=');
  const std::string_view name = text.substr(0, equals);
  const std::string_view value = equals == std::string_view::npos ? "" : text.substr(equals + 1);
  if (name == "read-bytes") {
    fault.kind = fault_kind::read_bytes;
    if (kit::parse_number(value, fault.bytes)) return {};
    return kit::failure{"read-bytes needs a byte count, not " + kit::quoted(value)};
  }
  if (name != "fail-ioctl" && name != "fail-read")
    return kit::failure{"no fault " + kit::quoted(text) +
                        " (fail-ioctl=ERRNO, hang, fail-read=ERRNO or read-bytes=BYTES)"};
  fault.kind = name == "fail-ioctl" ? fault_kind::fail_ioctl : fault_kind::fail_read;
  const kit::result<int> error = kit::errno_value(value);
  if (!error) return kit::failure{std::string(name) + ": " + error.error()};
  fault.error = *error;
  return {};
}

}  // namespace

kit::result<scan_fault> parse_fault(std::string_view text) {
  const size_t colon = text.find(':');
  std::string_view scans = text.substr(0, colon);
  scan_fault fault;
  fault.later_scans = !scans.empty() && scans.back() == '+';
  if (fault.later_scans) scans.remove_suffix(1);
  if (colon == std::string_view::npos || !kit::parse_number(scans, fault.first_scan) || fault.first_scan == 0)
    return kit::failure{
        "--fault needs SCAN:FAULT or SCAN+:FAULT, SCAN counted from 1 (such as 2:fail-ioctl=EBUSY "
        "or 3+:hang), not " +
        kit::quoted(text)};
  if (const kit::result<void> read = read_fault(text.substr(colon + 1), fault); !read)
    return kit::failure{"--fault " + kit::quoted(text) + ": " + read.error()};
  return fault;
}

}  // namespace blindscan::emulator
