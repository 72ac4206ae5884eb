#include "emulator/serving.h"

#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "emulator/command.h"
#include "emulator/event_loop.h"
#include "emulator/fuse_server.h"
#include "emulator/sandbox.h"

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

// Mounts a new FUSE connection on a new node at path and serves driver on
// it.  Called inside the namespaces: FUSE mounts only a connection opened in
// the user namespace that mounts it.
result<std::unique_ptr<fuse_server>> serve_on_new_node(emulated_driver& driver, const std::string& path) {
  const result<int> fuse_fd = open_fuse_device();
  if (!fuse_fd) return failure{fuse_fd.error()};
  result<void> mounted = create_node(path);
  if (mounted) mounted = mount_fuse_file(*fuse_fd, path);
  if (!mounted) {
    close(*fuse_fd);
    return failure{mounted.error()};
  }
  return fuse_server::on_mounted_fd(driver, *fuse_fd);
}

}  // namespace

int setup_failure(const std::string& message) {
  std::fprintf(stderr, "blindscan-emulator: %s\n", message.c_str());
  return 2;
}

int serve_command(const std::vector<std::string>& command, const std::string& node_path,
                  driver_behaviour behaviour, event_log log) {
  if (const result<void> entered = enter_private_dev(); !entered) return setup_failure(entered.error());

  behaviour.owner = geteuid();
  behaviour.group = getegid();
  emulated_driver driver(std::move(behaviour), log);
  const result<std::unique_ptr<fuse_server>> server = serve_on_new_node(driver, node_path);
  if (!server) return setup_failure(server.error());
  log.write(events::mounted(node_path));

  sigset_t handled = stopping_signals();
  sigaddset(&handled, SIGCHLD);
  inherited_signals inherited{};
  const result<int> signal_fd = block_into_descriptor(handled, inherited);
  if (!signal_fd) return setup_failure(signal_fd.error());
  const result<pid_t> child = start_command(command, inherited);
  if (!child) return setup_failure(child.error());

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
  const loop_end end = run_event_loop(**server, driver, *signal_fd, until_exit);
  if (end != loop_end::stopped) {
    // The FUSE connection went away under the command; it cannot go on.
    kill(*child, SIGKILL);
    int wait_status = 0;
    waitpid(*child, &wait_status, 0);
    status = exit_status_of(wait_status);
  } else {
    loop_control until_released;
    until_released.on_signal = [](const signalfd_siginfo& info) { return info.ssi_signo != SIGCHLD; };
    until_released.finished = [&] { return driver.open_handles() == 0; };
    until_released.deadline = scan_clock::now() + release_grace;
    run_event_loop(**server, driver, *signal_fd, until_released);
  }
  unmount(node_path);
  return status;
}

int serve_existing_file(const std::string& path, driver_behaviour behaviour, event_log log) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0)
    return setup_failure(path + ": " + std::strerror(errno) +
                         " (--serve needs an existing file: touch it first)");
  if (S_ISDIR(info.st_mode)) return setup_failure(path + " is a directory; --serve needs a file");

  inherited_signals inherited{};
  const result<int> signal_fd = block_into_descriptor(stopping_signals(), inherited);
  if (!signal_fd) return setup_failure(signal_fd.error());

  behaviour.owner = geteuid();
  behaviour.group = getegid();
  emulated_driver driver(std::move(behaviour), log);
  // Mounted here when this process may mount; otherwise by the setuid helper
  // of a user who may not.
  bool mounted_here = false;
  const result<std::unique_ptr<fuse_server>> server = [&]() -> result<std::unique_ptr<fuse_server>> {
    const result<int> fuse_fd = open_fuse_device();
    result<void> mounted = fuse_fd ? mount_fuse_file(*fuse_fd, path) : failure{fuse_fd.error()};
    if (mounted) {
      mounted_here = true;
      return fuse_server::on_mounted_fd(driver, *fuse_fd);
    }
    if (fuse_fd) close(*fuse_fd);
    if (geteuid() == 0) return failure{mounted.error()};
    result<std::unique_ptr<fuse_server>> helped = fuse_server::mounted_by_helper(driver, path);
    if (!helped) return failure{mounted.error() + "; " + helped.error()};
    return helped;
  }();
  if (!server) {
    if (mounted_here) unmount(path);
    return setup_failure(server.error());
  }
  log.write(events::mounted(path));

  loop_control until_signal;
  until_signal.on_signal = [](const signalfd_siginfo&) { return true; };
  run_event_loop(**server, driver, *signal_fd, until_signal);
  if (mounted_here) unmount(path);
  return 0;
}

}  // namespace blindscan::emulator
