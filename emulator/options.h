// The emulator's command line: where it serves, what the emulated driver
// does, and which faults it injects.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/result.h"

namespace blindscan::emulator {

struct options {
  int32_t device_number = 0;         // --device: the node /dev/blindscanN
  std::string sky_file;              // --sky: empty for the built-in sky
  std::string satellite;             // --satellite: a published list by name
  std::string records_file;          // --records: exact record bytes to serve
  std::optional<int> fail_ioctl;     // --fail-ioctl: errno for every scan request
  std::optional<int> fail_read;      // --fail-read: errno for every read
  std::optional<size_t> read_bytes;  // --read-bytes: most bytes one read delivers
  unsigned scan_ms = 0;              // --scan-ms: how long a scan request blocks
  std::string log_file;              // --log: the driver's event log
  mode_t node_mode = 0666;           // --mode: permission bits of the node
  uint32_t jitter_khz = 0;           // --jitter: how far off a carrier's frequency is reported
  uint32_t jitter_ksym = 0;          //   and its symbol rate
  uint64_t seed = 1;                 // --seed: for --jitter
  std::string serve_path;            // --serve: serve on this file, no namespaces
  std::vector<std::string> command;  // after "--": the command to run
  bool help = false;                 // --help
};

// Parses the arguments after the program name; the failure says what is
// wrong with them.
result<options> parse_options(const std::vector<std::string_view>& arguments);

// The help text, ending in a line feed.
extern const std::string_view usage_text;

}  // namespace blindscan::emulator
