// The emulator's two ways to serve the driver: to one command, on a node in
// a /dev of its own, or on an existing file until interrupted.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "emulator/model/driver.h"
#include "emulator/model/events.h"
#include "emulator/model/result.h"

namespace blindscan::emulator {

// Serves served on a new node at node_path to command alone; the command's
// exit status, or a failure for what could not be set up.
result<int> serve_command(const std::vector<std::string>& command, const std::string& node_path,
                          driver& served, mode_t node_mode, const event_sink& log);

// Serves served on the existing file path until a signal ends it; then 0.
result<int> serve_existing_file(const std::string& path, driver& served, mode_t node_mode,
                                const event_sink& log);

}  // namespace blindscan::emulator
