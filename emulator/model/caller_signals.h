// Whether a signal sent to a caller waiting in the driver ends its wait.  A
// driver's interruptible wait ends only when a signal is delivered: one the
// caller catches, or one whose default action kills it.  A stop, a continue,
// a tracer attaching or an ignored signal leave the wait as it was, and the
// kernel restarts it; the kernel's own notice that "something happened"
// cannot tell these apart, the caller's signal sets can.
#pragma once

#include <bitset>
#include <optional>
#include <string_view>

namespace blindscan::emulator {

// Signal sets with room for every architecture's signals (MIPS has 128).
using signal_set = std::bitset<128>;

// A caller's signal sets, as /proc/PID/status shows them.
struct caller_signals {
  signal_set pending;  // its own and its process's (SigPnd and ShdPnd)
  signal_set blocked;  // SigBlk
  signal_set ignored;  // SigIgn
  signal_set caught;   // SigCgt
};

// The sets in the text of /proc/PID/status; nothing when one is missing or
// not hex.
std::optional<caller_signals> parse_caller_signals(std::string_view status);

// True when a pending signal that is not blocked is delivered, ending an
// interruptible wait: caught, or killing by default.
bool ends_interruptible_wait(const caller_signals& signals);

// Whether a caller whose /proc/PID/status reads status ends its wait; one
// whose status is empty or unreadable (a caller that is gone) waits for
// nothing.
bool status_ends_wait(std::string_view status);

}  // namespace blindscan::emulator
