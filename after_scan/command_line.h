// What the after-scan commands share on their command lines: the reports
// they read, the file they write, and how they end.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "after_scan/report_lines.h"
#include "emulator/model/result.h"

namespace blindscan::after_scan {

// The carriers reported in each input in turn ("-" is standard input), read
// whole first; a failure when one cannot be read, holds a broken report
// line, or none of them holds any report line at all.
emulator::result<std::vector<reported_carrier>> read_reports(const std::vector<std::string>& inputs,
                                                             symbol_unit unit);

// Writes text whole to path, created or emptied, or to standard output for "-".
emulator::result<void> write_output(const std::string& path, std::string_view text);

// Runs a command's body with its arguments: its exit status,
// or 2 with its failure (or an exception's text) on standard error.
int run_command(int argc, char** argv, const std::function<emulator::result<int>(int, char**)>& body);

}  // namespace blindscan::after_scan
