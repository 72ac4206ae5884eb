#include "emulator/modes.h"

#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "emulator/command.h"
#include "emulator/event_loop.h"
#include "emulator/fuse_device.h"
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
int block_into_descriptor(sigset_t set, inherited_signals& inherited, std::string& error) {
  sigprocmask(SIG_BLOCK, &set, &inherited.mask);
  // A log on a pipe whose reader left must not end the emulator.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &inherited.pipe_action);
  const int fd = signalfd(-1, &set, SFD_CLOEXEC);
  if (fd < 0) error = std::string("cannot create a signal descriptor: ") + std::strerror(errno);
  return fd;
}

// Mounts a new FUSE connection on a new node at path and serves file on it.
// Called inside the namespaces: FUSE mounts only a connection opened in the
// user namespace that mounts it.
std::unique_ptr<fuse_device> serve_on_new_node(served_file& file, const std::string& path,
                                               std::string& error) {
  const int fuse_fd = open_fuse_device(error);
  if (fuse_fd < 0) return nullptr;
  if (!create_node(path, error) || !mount_fuse_file(fuse_fd, path, error)) {
    close(fuse_fd);
    return nullptr;
  }
  return fuse_device::on_mounted_fd(file, fuse_fd, error);
}

}  // namespace

int setup_failure(const std::string& message) {
  std::fprintf(stderr, "blindscan-emulator: %s\n", message.c_str());
  return 2;
}

int run_command(const std::vector<std::string>& command, const std::string& node_path,
                driver_behaviour behaviour, event_log log) {
  std::string error;
  if (!enter_private_dev(error)) return setup_failure(error);

  behaviour.owner = geteuid();
  behaviour.group = getegid();
  emulated_driver driver(std::move(behaviour), log);
  const std::unique_ptr<fuse_device> device = serve_on_new_node(driver, node_path, error);
  if (!device) return setup_failure(error);
  std::vector<fuse_device*> devices{device.get()};
  log.write(events::mounted(node_path));

  sigset_t handled = stopping_signals();
  sigaddset(&handled, SIGCHLD);
  inherited_signals inherited{};
  const int signal_fd = block_into_descriptor(handled, inherited, error);
  if (signal_fd < 0) return setup_failure(error);
  const pid_t child = start_command(command, inherited, error);
  if (child < 0) return setup_failure(error);

  int status = 0;
  int forwarded = 0;
  loop_control until_exit;
  until_exit.on_signal = [&](const signalfd_siginfo& info) {
    if (info.ssi_signo != SIGCHLD) {
      // Passed on; a second one ends a command that does not stop.
      kill(child, ++forwarded > 1 ? SIGKILL : static_cast<int>(info.ssi_signo));
      return false;
    }
    int wait_status = 0;
    if (waitpid(child, &wait_status, WNOHANG) != child) return false;
    status = exit_status_of(wait_status);
    return true;
  };
  const loop_end end = run_event_loop(devices, driver, signal_fd, until_exit);
  if (end != loop_end::stopped) {
    // A FUSE connection went away under the command; it cannot go on.
    kill(child, SIGKILL);
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    status = exit_status_of(wait_status);
  } else {
    loop_control until_released;
    until_released.on_signal = [](const signalfd_siginfo& info) { return info.ssi_signo != SIGCHLD; };
    until_released.finished = [&] { return driver.open_handles() == 0; };
    until_released.deadline = emulated_driver::clock::now() + release_grace;
    run_event_loop(devices, driver, signal_fd, until_released);
  }
  unmount(node_path);
  return status;
}

int serve_file(const std::string& path, driver_behaviour behaviour, event_log log) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0)
    return setup_failure(path + ": " + std::strerror(errno) +
                         " (--serve needs an existing file: touch it first)");
  if (S_ISDIR(info.st_mode)) return setup_failure(path + " is a directory; --serve needs a file");

  std::string error;
  inherited_signals inherited{};
  const int signal_fd = block_into_descriptor(stopping_signals(), inherited, error);
  if (signal_fd < 0) return setup_failure(error);

  behaviour.owner = geteuid();
  behaviour.group = getegid();
  emulated_driver driver(std::move(behaviour), log);
  std::unique_ptr<fuse_device> device;
  bool mounted_here = false;
  const int fuse_fd = open_fuse_device(error);
  if (fuse_fd >= 0 && mount_fuse_file(fuse_fd, path, error)) {
    mounted_here = true;
    device = fuse_device::on_mounted_fd(driver, fuse_fd, error);
  } else if (geteuid() != 0) {
    // A user who may not mount can still have the setuid helper do it.
    if (fuse_fd >= 0) close(fuse_fd);
    std::string helper_error;
    device = fuse_device::mounted_by_helper(driver, path, helper_error);
    if (!device) error += "; " + helper_error;
  } else if (fuse_fd >= 0) {
    close(fuse_fd);
  }
  if (!device) {
    if (mounted_here) unmount(path);
    return setup_failure(error);
  }
  log.write(events::mounted(path));

  loop_control until_signal;
  until_signal.on_signal = [](const signalfd_siginfo&) { return true; };
  run_event_loop({device.get()}, driver, signal_fd, until_signal);
  if (mounted_here) unmount(path);
  return 0;
}

}  // namespace blindscan::emulator
