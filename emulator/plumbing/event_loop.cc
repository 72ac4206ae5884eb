#include "emulator/plumbing/event_loop.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace blindscan::emulator {

namespace {

// Milliseconds to wait for, rounded up so a scan is never answered early.
int poll_timeout(std::optional<scan_clock::duration> wait) {
  if (!wait) return -1;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*wait).count();
  return static_cast<int>(std::min<decltype(ms)>(ms, 60'000));
}

}  // namespace

loop_end run_event_loop(driver_node& node, int signal_fd, const loop_control& control) {
  while (true) {
    if (control.finished && control.finished()) return loop_end::stopped;
    const scan_clock::time_point now = scan_clock::now();
    node.reply_to_finished_scans(now);

    std::optional<scan_clock::duration> wait = node.time_to_next_answer(now);
    if (control.deadline) {
      if (now >= *control.deadline) return loop_end::deadline;
      wait = std::min(wait.value_or(scan_clock::duration::max()), *control.deadline - now);
    }

    pollfd fds[] = {{node.fd(), POLLIN, 0}, {signal_fd, POLLIN, 0}};
    if (poll(fds, 2, poll_timeout(wait)) < 0) {
      if (errno == EINTR) continue;
      return loop_end::disconnected;
    }
    // Requests first, so that what the command did before a signal is logged.
    if (fds[0].revents != 0 && !node.handle_request()) return loop_end::disconnected;
    if (fds[1].revents & POLLIN) {
      signalfd_siginfo info{};
      if (read(signal_fd, &info, sizeof(info)) == sizeof(info) && control.on_signal(info))
        return loop_end::stopped;
    }
  }
}

}  // namespace blindscan::emulator
