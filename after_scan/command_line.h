// What the after-scan commands share on their command lines: reading one
// through the command's option table, the reports they read, placed on
// their sweeps, and the file they write.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/command.h"
#include "kit/option_table.h"
#include "kit/report_runs.h"
#include "kit/result.h"
#include "kit/sweeps.h"

namespace blindscan::after_scan {

// Writes text whole to path, created or emptied, or to standard output for "-".
kit::result<void> write_output(const std::string& path, std::string_view text);

// A tab-separated output's header line as help shows it: indented, each tab
// written <TAB>.
std::string shown_header(std::string_view header);

// How a command goes on once its command line is read: with its operands,
// or ending at once with status (its help printed, or what is wrong with
// the command line said).
struct command_line_read {
  std::optional<int> status;
  std::vector<std::string> operands;
};

// The status of a command line that getopt_long or a setter found wrong:
// what is wrong said, and where the help is.
kit::result<command_line_read> wrong_command_line(const std::string& what);

// Prints usage; the status, or why it could not be written.
kit::result<command_line_read> printed_help(const std::string& usage);

// Reads argv by table into chosen (whose help field --help sets); the
// operands may stand among the options.
template <typename chosen_type, size_t count>
kit::result<command_line_read> read_command_line(const kit::option_table<chosen_type, count>& table, int argc,
                                                 char** argv, chosen_type& chosen, std::string (*usage)()) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const kit::result<kit::command_line> line = table.parse(arguments, chosen, kit::operand_order::anywhere);
  if (!line) return wrong_command_line(line.error());
  if (chosen.help) return printed_help(usage());
  if (const kit::result<void> effect = table.check_effects(line->given); !effect)
    return kit::failure{effect.error()};
  return command_line_read{std::nullopt, line->operands};
}

// The reports named (none: standard input) placed on sweeps, or on the
// whole sweeps where none is given; with carriers_needed, a report without
// a report line is refused.
kit::result<kit::placed_report> read_placed(const std::vector<std::string>& names, kit::symbol_unit unit,
                                            bool carriers_needed, const std::vector<kit::sweep>& sweeps);

}  // namespace blindscan::after_scan
