#include "emulator/input/fault_option.h"

#include <optional>
#include <string>
#include <vector>

#include "kit/errno_names.h"
#include "kit/installation_faults.h"
#include "kit/messages.h"
#include "kit/text.h"

namespace blindscan::emulator {

namespace {

// items as a list: "a, b or c".
std::string listed(const std::vector<std::string>& items) {
  std::string list;
  for (size_t n = 0; n < items.size(); ++n)
    list += (n == 0 ? "" : n + 1 == items.size() ? " or " : ", ") + items[n];
  return list;
}

// An installation fault as it is written: its id, with its value where it
// takes one.
std::string written(const kit::installation_fault_type& type) {
  return type.value == nullptr ? type.id : std::string(type.id) + "=" + type.value;
}

// Every fault --fault names, as it is written.
std::string fault_forms() {
  std::vector<std::string> forms{"fail-ioctl=ERRNO", "hang", "fail-read=ERRNO", "read-bytes=BYTES"};
  for (const kit::installation_fault_type& type : kit::installation_fault_types)
    forms.push_back(written(type));
  return listed(forms);
}

// The fault itself, "hang", "NAME=VALUE" or an installation fault, into fault.
kit::result<void> read_fault(std::string_view text, scan_fault& fault) {
  if (text == "hang") {
    fault.kind = fault_kind::hang;
    return {};
  }
  if (const std::optional<kit::result<kit::installation_fault>> installation =
          kit::parse_installation_fault(text)) {
    if (!*installation) return kit::failure{installation->error()};
    fault.kind = fault_kind::installation;
    fault.installation = **installation;
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
    return kit::failure{"no fault " + kit::quoted(text) + " (" + fault_forms() + ")"};
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

std::string installation_fault_help() {
  std::vector<std::string> entries;
  for (const kit::installation_fault_type& type : kit::installation_fault_types)
    entries.push_back(written(type) + " (" + type.what + ")");
  return listed(entries);
}

}  // namespace blindscan::emulator
