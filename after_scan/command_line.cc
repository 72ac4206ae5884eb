#include "after_scan/command_line.h"

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <utility>

#include "common/write_all.h"
#include "kit/command.h"
#include "kit/messages.h"
#include "kit/read_file.h"

namespace blindscan::after_scan {

using kit::failure;

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

std::optional<kit::result<int>> shared_option(int id, kit::symbol_unit& unit, std::string_view usage) {
  if (id == 'u') {
    const kit::result<kit::symbol_unit> parsed = kit::parse_symbol_unit(optarg);
    if (!parsed) return kit::failure{"--symbol-unit: " + parsed.error()};
    unit = *parsed;
    return std::nullopt;
  }
  if (id == 'h') {
    const kit::result<void> written = write_output("-", usage);
    if (!written) return kit::failure{written.error()};
    return 0;
  }
  // getopt has said what is wrong.
  kit::suggest_help();
  return kit::bad_input_status;
}

kit::result<bool> dish_option(int id, std::vector<sweep>& sweeps, std::optional<kit::lnb>& dish) {
  if (id == 'w') {
    const kit::result<sweep> parsed = parse_sweep(optarg);
    if (!parsed) return kit::failure{parsed.error()};
    sweeps.push_back(*parsed);
    return true;
  }
  if (id != 'L') return false;
  kit::result<kit::lnb> parsed = kit::parse_lnb(optarg);
  if (!parsed) return kit::failure{"--lnb: " + parsed.error()};
  dish = std::move(*parsed);
  return true;
}

}  // namespace blindscan::after_scan
