#include "after_scan/command_line.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/write_all.h"
#include "kit/messages.h"

namespace blindscan::after_scan {

kit::result<void> write_output(const std::string& path, std::string_view text) {
  if (path == "-") {
    if (!common::write_all(STDOUT_FILENO, text.data(), text.size())) return kit::failed("cannot write");
    return {};
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return kit::failed(path + ": cannot open");
  const bool written = common::write_all(fd, text.data(), text.size());
  kit::result<void> outcome = written ? kit::result<void>{} : kit::failed(path + ": cannot write");
  if (::close(fd) != 0 && written) return kit::failed(path + ": cannot write");
  return outcome;
}

std::string shown_header(std::string_view header) {
  std::string shown = "  ";
  for (const char c : header) shown += c == '\t' ? std::string("<TAB>") : std::string(1, c);
  return shown;
}

kit::result<command_line_read> wrong_command_line(const std::string& what) {
  // getopt_long has said what is wrong where nothing is left to say.
  if (!what.empty()) return kit::failure{what};
  kit::suggest_help();
  return command_line_read{kit::bad_input_status, {}};
}

kit::result<command_line_read> printed_help(const std::string& usage) {
  const kit::result<void> written = write_output("-", usage);
  if (!written) return kit::failure{written.error()};
  return command_line_read{0, {}};
}

kit::result<kit::placed_report> read_placed(const std::vector<std::string>& names, kit::symbol_unit unit,
                                            bool carriers_needed, const std::vector<kit::sweep>& sweeps) {
  const auto inputs = kit::read_report_inputs(names, unit, carriers_needed);
  if (!inputs) return kit::failure{inputs.error()};
  return kit::place_runs(*inputs, sweeps.empty() ? kit::whole_sweeps() : sweeps);
}

}  // namespace blindscan::after_scan
