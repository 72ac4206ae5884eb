#include "emulator/plumbing/serving.h"

#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "emulator/plumbing/command.h"
#include "emulator/plumbing/driver_node.h"
#include "emulator/plumbing/event_loop.h"
#include "emulator/plumbing/sandbox.h"
#include "kit/messages.h"

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
kit::result<int> block_into_descriptor(sigset_t set, inherited_signals& inherited) {
  sigprocmask(SIG_BLOCK, &set, &inherited.mask);
  // A log on a pipe whose reader left must not end the emulator.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &inherited.pipe_action);
  const int fd = signalfd(-1, &set, SFD_CLOEXEC);
  if (fd < 0) return kit::failed("cannot create a signal descriptor");
  return fd;
}

// What stat shows of the node: its mode, owned by whoever serves it.
node_attributes attributes_of(mode_t mode) { return {mode, geteuid(), getegid()}; }

// Each node, new in the private /dev, mounted; its log says so.
kit::result<std::vector<std::unique_ptr<driver_node>>> mount_nodes(const std::vector<served_node>& nodes,
                                                                   mode_t node_mode) {
  std::vector<std::unique_ptr<driver_node>> mounted;
  for (const served_node& node : nodes) {
    if (const kit::result<void> created = create_node(node.path); !created)
      return kit::failure{created.error()};
    kit::result<std::unique_ptr<driver_node>> attached =
        driver_node::mount(node.answering, attributes_of(node_mode), node.path);
    if (!attached) return kit::failure{attached.error()};
    mounted.push_back(std::move(*attached));
    node.log(events::mounted(node.path));
  }
  return mounted;
}

// Serves until child has exited, passing the stopping signals on; its exit
// status, or nothing when a node went away under it.
std::optional<int> serve_until_exit(const std::vector<std::unique_ptr<driver_node>>& mounted, int signal_fd,
                                    pid_t child) {
  std::optional<int> status;
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
  if (run_event_loop(mounted, signal_fd, until_exit) != loop_end::stopped) return std::nullopt;
  return status;
}

// Ends child, which cannot go on without its node; its exit status.
int kill_command(pid_t child) {
  kill(child, SIGKILL);
  int wait_status = 0;
  waitpid(child, &wait_status, 0);
  return exit_status_of(wait_status);
}

// Serves a moment longer, while the kernel closes the command's copies of
// the nodes, so that the log ends with their release.
void serve_until_released(const std::vector<std::unique_ptr<driver_node>>& mounted, int signal_fd,
                          const std::vector<served_node>& nodes) {
  loop_control until_released;
  until_released.on_signal = [](const signalfd_siginfo& info) { return info.ssi_signo != SIGCHLD; };
  until_released.finished = [&] {
    return std::all_of(nodes.begin(), nodes.end(),
                       [](const served_node& node) { return node.answering.open_files() == 0; });
  };
  until_released.deadline = scan_clock::now() + release_grace;
  run_event_loop(mounted, signal_fd, until_released);
}

}  // namespace

kit::result<int> serve_command(const std::vector<std::string>& command, const std::vector<served_node>& nodes,
                               mode_t node_mode) {
  if (const kit::result<void> entered = enter_private_dev(); !entered) return kit::failure{entered.error()};
  kit::result<std::vector<std::unique_ptr<driver_node>>> mounted = mount_nodes(nodes, node_mode);
  if (!mounted) return kit::failure{mounted.error()};

  sigset_t handled = stopping_signals();
  sigaddset(&handled, SIGCHLD);
  inherited_signals inherited{};
  const kit::result<int> signal_fd = block_into_descriptor(handled, inherited);
  if (!signal_fd) return kit::failure{signal_fd.error()};
  const kit::result<pid_t> child = start_command(command, inherited);
  if (!child) return kit::failure{child.error()};

  const std::optional<int> status = serve_until_exit(*mounted, *signal_fd, *child);
  if (!status) return kill_command(*child);
  serve_until_released(*mounted, *signal_fd, nodes);
  return *status;
}

kit::result<int> serve_existing_file(const served_node& served, mode_t node_mode) {
  const std::string& path = served.path;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0)
    return kit::failure{kit::failed(path).message + " (--serve needs an existing file: touch it first)"};
  if (S_ISDIR(info.st_mode)) return kit::failure{path + " is a directory; --serve needs a file"};

  inherited_signals inherited{};
  const kit::result<int> signal_fd = block_into_descriptor(stopping_signals(), inherited);
  if (!signal_fd) return kit::failure{signal_fd.error()};

  // Mounted here when this process may mount; otherwise by the setuid helper
  // of a user who may not.
  const node_attributes attributes = attributes_of(node_mode);
  kit::result<std::unique_ptr<driver_node>> node = driver_node::mount(served.answering, attributes, path);
  if (!node && geteuid() != 0) {
    const std::string direct = node.error();
    node = driver_node::mount_by_helper(served.answering, attributes, path);
    if (!node) return kit::failure{direct + "; " + node.error()};
  }
  if (!node) return kit::failure{node.error()};
  served.log(events::mounted(path));

  std::vector<std::unique_ptr<driver_node>> mounted;
  mounted.push_back(std::move(*node));
  loop_control until_signal;
  until_signal.on_signal = [](const signalfd_siginfo&) { return true; };
  run_event_loop(mounted, *signal_fd, until_signal);
  return 0;
}

}  // namespace blindscan::emulator
