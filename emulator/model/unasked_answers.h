// What a replay left of a real driver's recorded answers: the opens, scans
// and reads that no request took, and how the stand-in names them once the
// command has ended.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace blindscan::emulator {

// The scans of one run that no request took, and the reads left after the
// scans of that run (those of a scan not taken among them).
struct unasked_run {
  std::optional<std::vector<std::string>> run;  // its arguments; none for scans of any run
  size_t scans = 0;
  size_t reads = 0;
};

struct unasked_answers {
  size_t opens = 0;
  std::vector<unasked_run> runs;  // in the order of the recording, each with something left
};

// Each thing left, as the end of a sentence: "1 recorded open(s)", or "2
// recorded scan(s) and 2 read(s) of the run '0 950 2150 1000 45000 1 1'".
std::vector<std::string> unasked_lines(const unasked_answers& left);

}  // namespace blindscan::emulator
