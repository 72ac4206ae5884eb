#include "emulator/plumbing/serving.h"

#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "emulator/plumbing/command.h"
#include "emulator/plumbing/driver_node.h"
#include "emulator/plumbing/event_loop.h"
#include "emulator/plumbing/sandbox.h"

namespace blindscan::emulator {

namespace {

// After the command has ended, the kernel may still be closing its copy of
// the device; wait this long at most for the release so the log is complete.
constexpr std::chrono::seconds release_grace{1};

// Signals that end the serving (and are passed on to the command).
sigset_t stopping_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, signal);
  return set;
}

// Blocks the signals in set and returns a descriptor that reads them, with
// the signal state from before in inherited.
result<int> block_into_descriptor(sigset_t set, inherited_signals& inherited) {
  sigprocmask(SIG_BLOCK, &set, &inherited.mask);
  // A log on a pipe whose reader left must not end the emulator.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &inherited.pipe_action);
  const int fd = signalfd(-1, &set, SFD_CLOEXEC);
  if (fd < 0) return failure{std::string("cannot create a signal descriptor: ") + std::strerror(errno)};
  return fd;
}

// What stat shows of the node: its mode, owned by whoever serves it.
node_attributes attributes_of(mode_t mode) { return {mode, geteuid(), getegid()}; }

}  // namespace

result<int> serve_command(const std::vector<std::string>& command, const std::string& node_path,
                          driver& served, mode_t node_mode, const event_sink& log) {
  if (const result<void> entered = enter_private_dev(); !entered) return failure{entered.error()};
  if (const result<void> created = create_node(node_path); !created) return failure{created.error()};
  const result<std::unique_ptr<driver_node>> node =
      driver_node::mount(served, attributes_of(node_mode), node_path);
  if (!node) return failure{node.error()};
  log(events::mounted(node_path));

  sigset_t handled = stopping_signals();
  sigaddset(&handled, SIGCHLD);
  inherited_signals inherited{};
  const result<int> signal_fd = block_into_descriptor(handled, inherited);
  if (!signal_fd) return failure{signal_fd.error()};
  const result<pid_t> child = start_command(command, inherited);
  if (!child) return failure{child.error()};

  int status = 0;
  int forwarded = 0;
  loop_control until_exit;
  until_exit.on_signal = [&](const signalfd_siginfo& info) {
    if (info.ssi_signo != SIGCHLD) {
      // Passed on; a second one ends a command that does not stop.
      kill(*child, ++forwarded > 1 ? SIGKILL : static_cast<int>(info.ssi_signo));
      return false;
    }
    int wait_status = 0;
    if (waitpid(*child, &wait_status, WNOHANG) != *child) return false;
    status = exit_status_of(wait_status);
    return true;
  };
  const loop_end end = run_event_loop(**node, *signal_fd, until_exit);
  if (end != loop_end::stopped) {
    // The node went away under the command; it cannot go on.
    kill(*child, SIGKILL);
    int wait_status = 0;
    waitpid(*child, &wait_status, 0);
    status = exit_status_of(wait_status);
  } else {
    loop_control until_released;
    until_released.on_signal = [](const signalfd_siginfo& info) { return info.ssi_signo != SIGCHLD; };
    until_released.finished = [&] { return served.open_files() == 0; };
    until_released.deadline = scan_clock::now() + release_grace;
    run_event_loop(**node, *signal_fd, until_released);
  }
  return status;
}

result<int> serve_existing_file(const std::string& path, driver& served, mode_t node_mode,
                                const event_sink& log) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0)
    return failure{path + ": " + std::strerror(errno) + " (--serve needs an existing file: touch it first)"};
  if (S_ISDIR(info.st_mode)) return failure{path + " is a directory; --serve needs a file"};

  inherited_signals inherited{};
  const result<int> signal_fd = block_into_descriptor(stopping_signals(), inherited);
  if (!signal_fd) return failure{signal_fd.error()};

  // Mounted here when this process may mount; otherwise by the setuid helper
  // of a user who may not.
  const node_attributes attributes = attributes_of(node_mode);
  result<std::unique_ptr<driver_node>> node = driver_node::mount(served, attributes, path);
  if (!node && geteuid() != 0) {
    const std::string direct = node.error();
    node = driver_node::mount_by_helper(served, attributes, path);
    if (!node) return failure{direct + "; " + node.error()};
  }
  if (!node) return failure{node.error()};
  log(events::mounted(path));

  loop_control until_signal;
  until_signal.on_signal = [](const signalfd_siginfo&) { return true; };
  run_event_loop(**node, *signal_fd, until_signal);
  return 0;
}

}  // namespace blindscan::emulator
