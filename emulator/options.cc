#include "emulator/options.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <functional>
#include <map>

#include "emulator/errno_names.h"

namespace blindscan::emulator {

const std::string_view usage_text =
    "Usage: blindscan-emulator [OPTION...] -- COMMAND [ARG...]\n"
    "       blindscan-emulator [OPTION...] --serve PATH\n"
    "\n"
    "Emulates the blind-scan driver: serves /dev/blindscanN to COMMAND only (in a\n"
    "private mount namespace) and exits with COMMAND's status, or serves on the\n"
    "existing file PATH until interrupted.\n"
    "\n"
    "  --device N          serve /dev/blindscanN (default 0)\n"
    "  --sky FILE          scan the transponders in FILE instead of the built-in sky\n"
    "  --records FILE      answer every scan with the exact record bytes in FILE\n"
    "  --fail-ioctl ERRNO  refuse every scan request with ERRNO (a name: EIO, ...)\n"
    "  --fail-read ERRNO   fail every read with ERRNO\n"
    "  --read-bytes N      deliver at most N bytes per read\n"
    "  --scan-ms N         let a scan request block for N milliseconds\n"
    "  --log FILE          write what the driver sees to FILE, one event per line\n"
    "  --mode OCTAL        permission bits of the node (default 0666)\n"
    "  --serve PATH        serve on PATH in the current mount namespace\n"
    "  --help              print this help\n";

namespace {

template <typename number>
bool parse_number(std::string_view text, number& value, int base = 10) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  return !text.empty() && error == std::errc{} && stop == end;
}

// The device number as the tool would convert a clean argument: decimal,
// 0x hexadecimal or 0 octal, with an optional sign; the whole text must be a
// number in the signed 32-bit range.
bool parse_device_number(std::string_view text, int32_t& value) {
  const std::string copy(text);
  if (copy.empty() || copy.find_first_of(" \t\n") != std::string::npos) return false;
  char* stop = nullptr;
  errno = 0;
  const long long converted = std::strtoll(copy.c_str(), &stop, 0);
  if (errno != 0 || *stop != '\0' || converted < INT32_MIN || converted > INT32_MAX) return false;
  value = static_cast<int32_t>(converted);
  return true;
}

using setter = std::function<std::string(options&, std::string_view)>;

std::string set_errno(std::string_view option, std::optional<int>& field, std::string_view name) {
  const auto value = errno_from_name(name);
  if (!value)
    return std::string(option) + ": unknown errno name '" + std::string(name) + "' (use a name such as EIO)";
  field = *value;
  return {};
}

setter path_option(std::string_view name, std::string options::*field) {
  return [name, field](options& o, std::string_view v) -> std::string {
    if (v.empty()) return std::string(name) + " needs a file name";
    o.*field = v;
    return {};
  };
}

const std::map<std::string_view, setter>& valued_options() {
  static const std::map<std::string_view, setter> table = {
      {"--device",
       [](options& o, std::string_view v) -> std::string {
         if (parse_device_number(v, o.device_number)) return {};
         return "--device needs a signed 32-bit number, not '" + std::string(v) + "'";
       }},
      {"--sky", path_option("--sky", &options::sky_file)},
      {"--records", path_option("--records", &options::records_file)},
      {"--fail-ioctl",
       [](options& o, std::string_view v) { return set_errno("--fail-ioctl", o.fail_ioctl, v); }},
      {"--fail-read",
       [](options& o, std::string_view v) { return set_errno("--fail-read", o.fail_read, v); }},
      {"--read-bytes",
       [](options& o, std::string_view v) -> std::string {
         size_t bytes = 0;
         if (!parse_number(v, bytes)) return "--read-bytes needs a byte count, not '" + std::string(v) + "'";
         o.read_bytes = bytes;
         return {};
       }},
      {"--scan-ms",
       [](options& o, std::string_view v) -> std::string {
         unsigned ms = 0;
         if (!parse_number(v, ms) || ms > 3'600'000)
           return "--scan-ms needs milliseconds from 0 to 3600000, not '" + std::string(v) + "'";
         o.scan_ms = ms;
         return {};
       }},
      {"--log", path_option("--log", &options::log_file)},
      {"--mode",
       [](options& o, std::string_view v) -> std::string {
         unsigned mode = 0;
         if (!parse_number(v, mode, 8) || mode > 07777)
           return "--mode needs octal permission bits such as 0600, not '" + std::string(v) + "'";
         o.node_mode = static_cast<mode_t>(mode);
         return {};
       }},
      {"--serve", path_option("--serve", &options::serve_path)},
  };
  return table;
}

std::string check_combination(const options& o, bool saw_separator) {
  if (o.help) return {};
  if (!o.sky_file.empty() && !o.records_file.empty()) return "--sky and --records exclude each other";
  if (!o.serve_path.empty() && saw_separator) return "--serve PATH and '-- COMMAND' exclude each other";
  if (o.serve_path.empty() && !saw_separator) return "nothing to do: give '-- COMMAND' or --serve PATH";
  if (saw_separator && o.command.empty()) return "no command after '--'";
  return {};
}

}  // namespace

options_result parse_options(const std::vector<std::string_view>& arguments) {
  options_result result;
  options& o = result.parsed;
  bool saw_separator = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--") {
      saw_separator = true;
      o.command.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, arguments.end());
      break;
    }
    if (argument == "--help") {
      o.help = true;
      continue;
    }
    // Both "--name VALUE" and "--name=VALUE".
    const size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    const auto option = valued_options().find(name);
    if (option == valued_options().end()) {
      result.error = argument.starts_with("-")
                         ? "unknown option '" + std::string(argument) + "'"
                         : "unexpected argument '" + std::string(argument) + "' (a command goes after '--')";
      return result;
    }
    std::string_view value;
    if (equals != std::string_view::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      result.error = std::string(name) + " needs a value";
      return result;
    }
    result.error = option->second(o, value);
    if (!result.error.empty()) return result;
  }
  result.error = check_combination(o, saw_separator);
  return result;
}

}  // namespace blindscan::emulator
