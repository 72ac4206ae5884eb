// What the after-scan commands share on their command lines: the reports
// they read, the file they write, and how they end.
#pragma once

#include <getopt.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "after_scan/comparison.h"
#include "kit/lnb.h"
#include "kit/report_lines.h"
#include "kit/result.h"

namespace blindscan::after_scan {

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

// The sweeps that made the report and the dish's LNB, as both commands take
// them: their help, and their entries in getopt_long's table.
inline constexpr std::string_view sweep_options_help =
    "  --sweep ARGS          the tool's seven arguments of one sweep, in one\n"
    "                        argument: '0 950 2150 1000 45000 0 1'; repeat it for\n"
    "                        each sweep (default: the four whole sweeps, each\n"
    "                        polarisation in each band, 950-2150 MHz,\n"
    "                        1-100000 kSym/s)\n"
    "  --lnb LNB             the dish's LNB, by name or by its oscillators, as\n"
    "                        blindscan-emulator --help gives them: the n-th run\n"
    "                        of the tool (told apart by 'open path' lines) is the\n"
    "                        n-th --sweep, and each of its lines is brought back\n"
    "                        through LNB on that sweep's band and polarisation to\n"
    "                        the true downlink frequency (default: the\n"
    "                        oscillators the report adds, 9750 and 10600 MHz)\n";
inline constexpr struct option sweep_option = {"sweep", required_argument, nullptr, 'w'};
inline constexpr struct option lnb_option = {"lnb", required_argument, nullptr, 'L'};

// The options both commands take, by getopt_long id: 'u' (--symbol-unit)
// sets unit from optarg, 'h' (--help) prints usage, and any other id is one
// getopt has found wrong.  The status to end with, or nothing to go on with.
std::optional<kit::result<int>> shared_option(int id, kit::symbol_unit& unit, std::string_view usage);

// The sweeps and the dish, by getopt_long id: 'w' (--sweep) adds a sweep
// from optarg, 'L' (--lnb) sets the dish.  Whether id is one of them, or what
// is wrong with its value.
kit::result<bool> dish_option(int id, std::vector<sweep>& sweeps, std::optional<kit::lnb>& dish);

}  // namespace blindscan::after_scan
