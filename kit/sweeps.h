// A sweep: one run of the tool, as its seven arguments describe it, and the
// whole sweeps a report is taken to come from when none is given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"
#include "kit/lnb.h"
#include "kit/result.h"

namespace blindscan::kit {

// The symbol rates of a whole sweep, kSym/s: every rate a driver reports.
inline constexpr int32_t whole_sweep_min_symbol = 1;
inline constexpr int32_t whole_sweep_max_symbol = 100'000;

// One run of the tool: its request, its arguments as given (for messages),
// and whether the user gave it or it is one of the whole sweeps assumed.
struct sweep {
  device::blindscan_request request;
  std::string arguments;
  bool given = true;
};

// A sweep from the tool's seven arguments in one string ("0 950 2150 1000
// 45000 0 0"), each read as the tool reads it (0x2 and 010 alike), and each
// a whole number in the tool's syntax: a word the tool would read only in
// part ("1e5", read as 1) is refused, as is a range given the wrong way
// round.
result<sweep> parse_sweep(std::string_view arguments);

// The four whole sweeps: each polarisation in each band over the whole
// intermediate range, every symbol rate from whole_sweep_min_symbol to
// whole_sweep_max_symbol; given false.
std::vector<sweep> whole_sweeps();

}  // namespace blindscan::kit
