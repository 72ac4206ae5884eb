// The emulator's two ways to serve the driver: to one command, on a node in
// a /dev of its own, or on an existing file until interrupted.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "emulator/model/driver.h"
#include "emulator/model/events.h"
#include "kit/result.h"

namespace blindscan::emulator {

// A node to serve: its path and the driver that answers on it, which logs
// to log.
struct served_node {
  std::string path;
  driver& answering;
  event_sink log;
};

// Serves each node, new in a /dev of its own, to command alone; the
// command's exit status, or a failure for what could not be set up.
kit::result<int> serve_command(const std::vector<std::string>& command, const std::vector<served_node>& nodes,
                               mode_t node_mode);

// Serves served on its existing file until a signal ends it; then 0.
kit::result<int> serve_existing_file(const served_node& served, mode_t node_mode);

}  // namespace blindscan::emulator
