// The emulator's single thread: kernel requests on the FUSE files, scans
// that end after their time, and signals, handled one at a time.
#pragma once

#include <sys/signalfd.h>

#include <functional>
#include <optional>
#include <vector>

#include "emulator/emulated_driver.h"
#include "emulator/fuse_device.h"

namespace blindscan::emulator {

enum class loop_end { stopped, disconnected, deadline };

struct loop_control {
  // Called for each signal read from the signal descriptor; true stops the loop.
  std::function<bool(const signalfd_siginfo&)> on_signal;
  // Checked before each wait; true stops the loop.
  std::function<bool()> finished;
  std::optional<emulated_driver::clock::time_point> deadline;
};

// Serves devices (the driver's first) until control stops the loop or a
// FUSE file goes away.
loop_end run_event_loop(const std::vector<fuse_device*>& devices, emulated_driver& driver, int signal_fd,
                        const loop_control& control);

}  // namespace blindscan::emulator
