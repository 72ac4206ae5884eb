// The emulator's single thread: kernel requests on the node, scans that end
// after their time, and signals, handled one at a time.
#pragma once

#include <sys/signalfd.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "emulator/model/pending_requests.h"
#include "emulator/plumbing/driver_node.h"

namespace blindscan::emulator {

enum class loop_end { stopped, disconnected, deadline };

struct loop_control {
  // Called for each signal read from the signal descriptor; true stops the loop.
  std::function<bool(const signalfd_siginfo&)> on_signal;
  // Checked before each wait; true stops the loop.
  std::function<bool()> finished;
  std::optional<scan_clock::time_point> deadline;
};

// Serves the requests on every node until control stops the loop or a node
// goes away.
loop_end run_event_loop(const std::vector<std::unique_ptr<driver_node>>& nodes, int signal_fd,
                        const loop_control& control);

}  // namespace blindscan::emulator
