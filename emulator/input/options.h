// The emulator's command line: where it serves, what the emulated driver
// does, and which faults it injects.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/model/driver.h"
#include "kit/result.h"

namespace blindscan::emulator {

struct options {
  std::vector<int32_t> device_numbers{0};   // --device, repeatable: the nodes /dev/blindscanN
  std::optional<std::string> sky_file;      // --sky: otherwise the built-in sky
  std::optional<std::string> satellite;     // --satellite: a published list by name
  std::optional<std::string> records_file;  // --records: exact record bytes to serve
  std::optional<std::string> answers_file;  // --answers: a real driver's answers, node by node
  bool partial = false;                     // --partial: the command may leave answers out
  driver_settings driver;                   // --fault, --fail-ioctl, --fail-read, --read-bytes,
                                            // --scan-ms, --jitter, --seed, --lnb
  std::optional<std::string> log_file;      // --log: the driver's event log
  mode_t node_mode = 0666;                  // --mode: permission bits of the node
  std::optional<std::string> serve_path;    // --serve: serve on this file, no namespaces
  std::vector<std::string> command;         // after "--": the command to run
  bool help = false;                        // --help
};

// Parses the arguments after the program name; the failure says what is
// wrong with them, or is empty where getopt has said it on standard error.
kit::result<options> parse_options(const std::vector<std::string_view>& arguments);

// The help text, ending in a line feed; help2man makes the manual page's
// OPTIONS of it.
std::string usage();

}  // namespace blindscan::emulator
