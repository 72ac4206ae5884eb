// The emulator's single thread: kernel requests on the FUSE file, scans that
// end after their time, and signals, handled one at a time.
#pragma once

#include <sys/signalfd.h>

#include <functional>
#include <optional>

#include "emulator/emulated_driver.h"
#include "emulator/fuse_server.h"

namespace blindscan::emulator {

enum class loop_end { stopped, disconnected, deadline };

struct loop_control {
  // Called for each signal read from the signal descriptor; true stops the loop.
  std::function<bool(const signalfd_siginfo&)> on_signal;
  // Checked before each wait; true stops the loop.
  std::function<bool()> finished;
  std::optional<scan_clock::time_point> deadline;
};

// Serves the driver's requests from server until control stops the loop or
// the FUSE file goes away.
loop_end run_event_loop(fuse_server& server, emulated_driver& driver, int signal_fd,
                        const loop_control& control);

}  // namespace blindscan::emulator
