// The emulator's two ways to serve the driver: to one command, on a node in
// a /dev of its own, or on an existing file until interrupted.  Both return
// the emulator's exit status.
#pragma once

#include <string>
#include <vector>

#include "emulator/emulated_driver.h"
#include "emulator/event_log.h"

namespace blindscan::emulator {

// Status 2 for what cannot be set up; otherwise the command's status.
int serve_command(const std::vector<std::string>& command, const std::string& node_path,
                  driver_behaviour behaviour, event_log log);

// Status 2 for what cannot be set up; 0 after a signal ends the serving.
int serve_existing_file(const std::string& path, driver_behaviour behaviour, event_log log);

// Prints "blindscan-emulator: message" on standard error; returns 2.
int setup_failure(const std::string& message);

}  // namespace blindscan::emulator
