// The answers file: what a real driver answered, node by node, to each scan
// request and to the reads after it, as replay/replay-trace writes it from
// strace's record of a session.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "emulator/model/scan_records.h"
#include "kit/result.h"

namespace blindscan::emulator {

// The recorded answers of one node, /dev/blindscanN.
struct recorded_node {
  int32_t device_number;
  std::vector<recorded_scan> scans;
  std::vector<int> opens;  // each open in turn: 0 taken, or the errno it was refused with
};

// Parses an answers file ('#' starts a comment; blank lines are ignored):
//   device N                 the answers of /dev/blindscanN follow
//   open                     an open taken (without open lines, every open is)
//   open failed ERRNO        one refused with ERRNO
//   scan                     a scan request taken
//   scan failed ERRNO        one refused with ERRNO (a name: EIO, ...)
//   scan unfinished          one that returned only when its caller was interrupted
//   scan ... run ARG...      one that a run with these arguments made; only such a run gets it
//   read [HEX...]            the next read after that scan delivered these bytes
//   read failed ERRNO        it failed with ERRNO
//   read unfinished          it returned only when its caller was interrupted
// Each node's scans are in the order they were made, each read after its
// scan.  The failure reads "SOURCE:LINE: what is wrong".
kit::result<std::vector<recorded_node>> parse_answers(std::string_view text, std::string_view source_name);

}  // namespace blindscan::emulator
