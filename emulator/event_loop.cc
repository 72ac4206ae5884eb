#include "emulator/event_loop.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace blindscan::emulator {

namespace {

// Milliseconds to wait for, rounded up so a scan is never answered early.
int poll_timeout(std::optional<emulated_driver::clock::duration> wait) {
  if (!wait) return -1;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*wait).count();
  return static_cast<int>(std::min<decltype(ms)>(ms, 60'000));
}

}  // namespace

loop_end run_event_loop(const std::vector<fuse_device*>& devices, emulated_driver& driver, int signal_fd,
                        const loop_control& control) {
  using clock = emulated_driver::clock;
  while (true) {
    if (control.finished && control.finished()) return loop_end::stopped;
    const clock::time_point now = clock::now();
    driver.complete_due_scans(now);

    std::optional<clock::duration> wait = driver.time_to_next_completion(now);
    if (control.deadline) {
      if (now >= *control.deadline) return loop_end::deadline;
      wait = std::min(wait.value_or(clock::duration::max()), *control.deadline - now);
    }

    std::vector<pollfd> fds;
    for (const fuse_device* device : devices) fds.push_back({device->fd(), POLLIN, 0});
    fds.push_back({signal_fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), poll_timeout(wait)) < 0) {
      if (errno == EINTR) continue;
      return loop_end::disconnected;
    }
    // Requests first, so that what the command did before a signal is logged.
    for (size_t i = 0; i < devices.size(); ++i)
      if (fds[i].revents != 0 && !devices[i]->handle_request()) return loop_end::disconnected;
    if (fds.back().revents & POLLIN) {
      signalfd_siginfo info{};
      if (read(signal_fd, &info, sizeof(info)) == sizeof(info) && control.on_signal(info))
        return loop_end::stopped;
    }
  }
}

}  // namespace blindscan::emulator
