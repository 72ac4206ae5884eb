// Running the command the emulator serves: started with the signal state the
// emulator itself was given, and its end turned into an exit status.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "kit/result.h"

namespace blindscan::emulator {

// The signal mask and SIGPIPE disposition the emulator was started with,
// handed on unchanged to the command.
struct inherited_signals {
  sigset_t mask;
  struct sigaction pipe_action;
};

// Forks and executes command (searched in PATH); the process id.  The
// command dies with the emulator.  If it cannot be executed it ends with 127
// (not found) or 126.
kit::result<pid_t> start_command(const std::vector<std::string>& command, const inherited_signals& signals);

// The shell's convention: the exit status, or 128 plus the signal that
// killed the process.
int exit_status_of(int wait_status);

}  // namespace blindscan::emulator
