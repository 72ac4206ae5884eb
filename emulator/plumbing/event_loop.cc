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

loop_end run_event_loop(const std::vector<std::unique_ptr<driver_node>>& nodes, int signal_fd,
                        const loop_control& control) {
  std::vector<pollfd> fds;
  fds.reserve(nodes.size() + 1);
  for (const auto& node : nodes) fds.push_back({node->fd(), POLLIN, 0});
  fds.push_back({signal_fd, POLLIN, 0});
  while (true) {
    if (control.finished && control.finished()) return loop_end::stopped;
    const scan_clock::time_point now = scan_clock::now();
    std::optional<scan_clock::duration> wait;
    for (const auto& node : nodes) {
      node->reply_to_finished_requests(now);
      if (const auto next = node->time_to_next_answer(now)) wait = std::min(wait.value_or(*next), *next);
    }
    if (control.deadline) {
      if (now >= *control.deadline) return loop_end::deadline;
      wait = std::min(wait.value_or(scan_clock::duration::max()), *control.deadline - now);
    }

    if (poll(fds.data(), fds.size(), poll_timeout(wait)) < 0) {
      if (errno == EINTR) continue;
      return loop_end::disconnected;
    }
    // Requests first, so that what the command did before a signal is logged.
    for (size_t i = 0; i < nodes.size(); ++i)
      if (fds[i].revents != 0 && !nodes[i]->handle_request()) return loop_end::disconnected;
    if (fds.back().revents & POLLIN) {
      signalfd_siginfo info{};
      if (read(signal_fd, &info, sizeof(info)) == sizeof(info) && control.on_signal(info))
        return loop_end::stopped;
    }
  }
}

}  // namespace blindscan::emulator
