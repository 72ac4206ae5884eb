#include "emulator/model/unasked_answers.h"

#include "emulator/model/events.h"

namespace blindscan::emulator {

std::vector<std::string> unasked_lines(const unasked_answers& left) {
  std::vector<std::string> lines;
  if (left.opens != 0) lines.push_back(std::to_string(left.opens) + " recorded open(s)");
  for (const unasked_run& run : left.runs) {
    std::string line;
    if (run.scans != 0) line = std::to_string(run.scans) + " recorded scan(s)";
    if (run.reads != 0)
      line += (line.empty() ? std::to_string(run.reads) + " recorded read(s)"
                            : " and " + std::to_string(run.reads) + " read(s)");
    if (run.run) line += " of " + run_name(*run.run);
    lines.push_back(line);
  }
  return lines;
}

}  // namespace blindscan::emulator
