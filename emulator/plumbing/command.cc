#include "emulator/plumbing/command.h"

#include <err.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kit/messages.h"

namespace blindscan::emulator {

kit::result<pid_t> start_command(const std::vector<std::string>& command, const inherited_signals& signals) {
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child < 0) return kit::failed("cannot fork");
  if (child > 0) return child;

  // The served file goes away with the emulator, so the command does too.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(128 + SIGKILL);
  sigaction(SIGPIPE, &signals.pipe_action, nullptr);
  sigprocmask(SIG_SETMASK, &signals.mask, nullptr);
  execvp(argv[0], argv.data());
  const int exec_errno = errno;
  // _exit, not exit: the emulator's buffers and exit handlers are not the child's.
  warnx("cannot run %s: %s", argv[0], std::strerror(exec_errno));
  _exit(exec_errno == ENOENT ? 127 : 126);
}

int exit_status_of(int wait_status) {
  if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
  return WEXITSTATUS(wait_status);
}

}  // namespace blindscan::emulator
