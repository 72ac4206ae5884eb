// What the after-scan commands share on their command lines: the reports
// they read, the file they write, and how they end.
#pragma once

#include <getopt.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/report_lines.h"
#include "kit/result.h"

namespace blindscan::after_scan {

// The reports of each input in turn ("-" is standard input), read whole
// first, as one, the runs of each input apart from the others'; a failure
// when one cannot be read or holds a broken report line, or when none holds
// a line of the tool's output at all (a report line or an "open path" line),
// or, with carriers_needed, no report line.
kit::result<kit::scan_report> read_reports(const std::vector<std::string>& inputs, kit::symbol_unit unit,
                                           bool carriers_needed);

// Writes text whole to path, created or emptied, or to standard output for "-".
kit::result<void> write_output(const std::string& path, std::string_view text);

// A tab-separated output's header line as help shows it: indented, each tab
// written <TAB>.
std::string shown_header(std::string_view header);

// The help of the options both commands take.
inline constexpr std::string_view shared_options_help =
    "  --symbol-unit UNIT    the unit of the report's symbol rates: Sym/s, kSym/s\n"
    "                        (the default, the driver stand-in's) or MSym/s\n"
    "  --help                print this help\n";

// Their entries in getopt_long's table.
inline constexpr struct option symbol_unit_option = {"symbol-unit", required_argument, nullptr, 'u'};
inline constexpr struct option help_option = {"help", no_argument, nullptr, 'h'};

// The options both commands take, by getopt_long id: 'u' (--symbol-unit)
// sets unit from optarg, 'h' (--help) prints usage, and any other id is one
// getopt has found wrong.  The status to end with, or nothing to go on with.
std::optional<kit::result<int>> shared_option(int id, kit::symbol_unit& unit, std::string_view usage);

}  // namespace blindscan::after_scan
