#include "emulator/model/caller_signals.h"

#include <csignal>
#include <initializer_list>

namespace blindscan::emulator {

namespace {

// A mask of hex digits, the lowest signal in the last digit.
std::optional<signal_set> parse_mask(std::string_view hex) {
  if (hex.empty() || hex.size() * 4 > signal_set().size()) return std::nullopt;
  signal_set set;
  size_t bit = 0;
  for (auto digit = hex.rbegin(); digit != hex.rend(); ++digit, bit += 4) {
    int value = 0;
    if (*digit >= '0' && *digit <= '9')
      value = *digit - '0';
    else if (*digit >= 'a' && *digit <= 'f')
      value = *digit - 'a' + 10;
    else
      return std::nullopt;
    for (size_t i = 0; i < 4; ++i) set[bit + i] = ((value >> i) & 1) != 0;
  }
  return set;
}

// Signals whose default action neither kills nor is delivered to a handler:
// they stop, continue or are ignored.
bool leaves_wait_by_default(size_t signal) {
  for (const int harmless : {SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT, SIGCHLD, SIGURG, SIGWINCH})
    if (signal == static_cast<size_t>(harmless)) return true;
  return false;
}

}  // namespace

std::optional<caller_signals> parse_caller_signals(std::string_view status) {
  struct field {
    std::string_view name;
    signal_set* into;
    bool found;
  };
  caller_signals signals;
  signal_set shared;
  field fields[] = {{"SigPnd:", &signals.pending, false},
                    {"ShdPnd:", &shared, false},
                    {"SigBlk:", &signals.blocked, false},
                    {"SigIgn:", &signals.ignored, false},
                    {"SigCgt:", &signals.caught, false}};
  while (!status.empty()) {
    const size_t end = status.find('\n');
    std::string_view line = status.substr(0, end);
    status = end == std::string_view::npos ? std::string_view{} : status.substr(end + 1);
    for (field& wanted : fields) {
      if (line.substr(0, wanted.name.size()) != wanted.name) continue;
      line.remove_prefix(wanted.name.size());
      while (!line.empty() && (line.front() == '\t' || line.front() == ' ')) line.remove_prefix(1);
      const std::optional<signal_set> mask = parse_mask(line);
      if (!mask) return std::nullopt;
      *wanted.into = *mask;
      wanted.found = true;
    }
  }
  for (const field& wanted : fields)
    if (!wanted.found) return std::nullopt;
  signals.pending |= shared;
  return signals;
}

bool ends_interruptible_wait(const caller_signals& signals) {
  const signal_set delivered = signals.pending & ~signals.blocked;
  for (size_t bit = 0; bit < delivered.size(); ++bit) {
    if (!delivered[bit]) continue;
    const size_t signal = bit + 1;
    if (signals.caught[bit]) return true;
    if (!signals.ignored[bit] && !leaves_wait_by_default(signal)) return true;
  }
  return false;
}

bool status_ends_wait(std::string_view status) {
  const std::optional<caller_signals> signals = parse_caller_signals(status);
  return !signals || ends_interruptible_wait(*signals);
}

}  // namespace blindscan::emulator
