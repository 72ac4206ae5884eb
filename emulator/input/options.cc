#include "emulator/input/options.h"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstring>
#include <initializer_list>

#include "emulator/input/fault_option.h"
#include "kit/errno_names.h"
#include "kit/sky_file.h"
#include "kit/text.h"
#include "tool/arguments.h"

namespace blindscan::emulator {

namespace {

enum option_id : int {
  device_option,
  sky_option,
  satellite_option,
  records_option,
  answers_option,
  fail_ioctl_option,
  fail_read_option,
  read_bytes_option,
  fault_option,
  scan_ms_option,
  log_option,
  mode_option,
  jitter_option,
  seed_option,
  serve_option,
  partial_option,
  help_option,
  option_count,
};

// A set of options, one bit each.
using option_set = uint32_t;
static_assert(option_count <= 32, "an option_set holds every option");
constexpr option_set any_of(std::initializer_list<option_id> ids) {
  option_set set = 0;
  for (const option_id id : ids) set |= option_set{1} << id;
  return set;
}

// Every option, and when it has an effect: never beside one of idle_beside,
// and only beside one of needs where that is not empty.  An option given
// where it would do nothing is refused, so that no one believes it did
// something.  The rows are in the order of option_id; the checks below
// make an option without its row fail to compile.
struct option_row {
  const char* name;
  option_id id;
  int has_arg;
  option_set idle_beside;
  option_set needs;
};

// The driver's faults and settings that an answers file replaces with its
// own answers.
constexpr option_set recorded_answers = any_of({answers_option});

constexpr option_row option_rows[] = {
    // The served file is the one node; an answers file names its nodes.
    {"device", device_option, required_argument, any_of({serve_option, answers_option}), 0},
    {"sky", sky_option, required_argument, 0, 0},
    {"satellite", satellite_option, required_argument, 0, 0},
    {"records", records_option, required_argument, 0, 0},
    {"answers", answers_option, required_argument, 0, 0},
    {"fail-ioctl", fail_ioctl_option, required_argument, recorded_answers, 0},
    {"fail-read", fail_read_option, required_argument, recorded_answers, 0},
    // A refused scan leaves nothing to read, and a failed read delivers nothing.
    {"read-bytes", read_bytes_option, required_argument,
     recorded_answers | any_of({fail_ioctl_option, fail_read_option}), 0},
    {"fault", fault_option, required_argument, recorded_answers, 0},
    {"scan-ms", scan_ms_option, required_argument, 0, 0},
    {"log", log_option, required_argument, 0, 0},
    {"mode", mode_option, required_argument, 0, 0},
    // The offsets are those of a search, which records skip and whose
    // carriers a refused scan or a failed read never hands out.
    {"jitter", jitter_option, required_argument,
     recorded_answers | any_of({records_option, fail_ioctl_option, fail_read_option}), 0},
    // The seed is that of --jitter's offsets, idle where they are.
    {"seed", seed_option, required_argument, 0, any_of({jitter_option})},
    {"serve", serve_option, required_argument, 0, 0},
    // Answers left out are named once the command has ended; served on a
    // file, nothing ends.
    {"partial", partial_option, no_argument, any_of({serve_option}), any_of({answers_option})},
    {"help", help_option, no_argument, 0, 0},
};

constexpr bool rows_follow_ids() {
  for (int id = 0; id < option_count; ++id)
    if (option_rows[id].id != id) return false;
  return true;
}
static_assert(std::size(option_rows) == option_count && rows_follow_ids(),
              "every option has its row, in order");

// getopt_long's values stay clear of the characters it returns.
constexpr int getopt_value_base = 256;

// The options as getopt_long takes them, from the rows.
constexpr std::array<struct option, option_count + 1> long_options = [] {
  std::array<struct option, option_count + 1> table{};
  for (int id = 0; id < option_count; ++id)
    table[id] = {option_rows[id].name, option_rows[id].has_arg, nullptr, getopt_value_base + id};
  return table;
}();

// The name of an option as the user types it, "--name", for messages.
std::string option_name(int id) { return std::string("--") + option_rows[id].name; }

// The options of set, as "--a, --b or --c".
std::string option_names(option_set set) {
  std::string names;
  int remaining = std::popcount(set);
  for (int id = 0; id < option_count; ++id) {
    if ((set & any_of({option_id(id)})) == 0) continue;
    names += option_name(id);
    --remaining;
    names += remaining > 1 ? ", " : remaining == 1 ? " or " : "";
  }
  return names;
}

kit::result<int> errno_value(std::string_view option, std::string_view name) {
  if (const auto value = kit::errno_from_name(name)) return *value;
  return kit::failure{std::string(option) + ": unknown errno name " + kit::quoted(name) +
                      " (use a name such as EIO)"};
}

kit::result<void> set_file_name(std::optional<std::string>& field, std::string_view option,
                                std::string_view value) {
  if (value.empty()) return kit::failure{std::string(option) + " needs a file name"};
  field = value;
  return {};
}

// Sets the option id to value in chosen; the failure says what is wrong
// with the value, checked here so that a bad one is named before any other
// option is looked at.
kit::result<void> set_option(options& chosen, int id, const char* value) {
  const std::string_view text = value != nullptr ? value : "";
  switch (id) {
    case device_option: {
      // The node the tool opens for the same text.
      const int32_t number = tool::convert_argument(value);
      if (std::find(chosen.device_numbers.begin(), chosen.device_numbers.end(), number) !=
          chosen.device_numbers.end())
        return kit::failure{"--device " + std::to_string(number) + " is given twice"};
      chosen.device_numbers.push_back(number);
      return {};
    }
    case sky_option:
      return set_file_name(chosen.sky_file, "--sky", text);
    case satellite_option:
      // Which names there are, the list's folder tells when it is read.
      chosen.satellite = text;
      return {};
    case records_option:
      return set_file_name(chosen.records_file, "--records", text);
    case answers_option:
      return set_file_name(chosen.answers_file, "--answers", text);
    case log_option:
      return set_file_name(chosen.log_file, "--log", text);
    case serve_option:
      return set_file_name(chosen.serve_path, "--serve", text);
    case fail_ioctl_option:
    case fail_read_option: {
      const bool ioctl = id == fail_ioctl_option;
      const kit::result<int> error = errno_value(ioctl ? "--fail-ioctl" : "--fail-read", text);
      if (!error) return kit::failure{error.error()};
      // The fault on every scan from the first.
      chosen.driver.faults.push_back(
          {.kind = ioctl ? fault_kind::fail_ioctl : fault_kind::fail_read, .error = *error});
      return {};
    }
    case read_bytes_option: {
      size_t bytes = 0;
      if (!kit::parse_number(text, bytes))
        return kit::failure{"--read-bytes needs a byte count, not " + kit::quoted(text)};
      chosen.driver.faults.push_back({.kind = fault_kind::read_bytes, .bytes = bytes});
      return {};
    }
    case fault_option: {
      const kit::result<scan_fault> fault = parse_fault(text);
      if (!fault) return kit::failure{fault.error()};
      chosen.driver.faults.push_back(*fault);
      return {};
    }
    case scan_ms_option: {
      unsigned ms = 0;
      if (!kit::parse_number(text, ms) || ms > 3'600'000)
        return kit::failure{"--scan-ms needs milliseconds from 0 to 3600000, not " + kit::quoted(text)};
      chosen.driver.scan_time = std::chrono::milliseconds(ms);
      return {};
    }
    case mode_option: {
      unsigned mode = 0;
      if (!kit::parse_number(text, mode, 8) || mode > 07777)
        return kit::failure{"--mode needs octal permission bits such as 0600, not " + kit::quoted(text)};
      chosen.node_mode = static_cast<mode_t>(mode);
      return {};
    }
    case jitter_option: {
      const size_t comma = text.find(',');
      if (comma == std::string_view::npos ||
          !kit::parse_number(text.substr(0, comma), chosen.driver.jitter.khz) ||
          !kit::parse_number(text.substr(comma + 1), chosen.driver.jitter.ksym))
        return kit::failure{"--jitter needs KHZ,KSYM, two whole numbers such as 500,10, not " +
                            kit::quoted(text)};
      return {};
    }
    case seed_option:
      if (!kit::parse_number(text, chosen.driver.jitter.seed))
        return kit::failure{"--seed needs a whole number, not " + kit::quoted(text)};
      return {};
    case partial_option:
      chosen.partial = true;
      return {};
    case help_option:
      chosen.help = true;
      return {};
    default:
      return kit::failure{"unknown option"};
  }
}

kit::result<void> check_combination(const options& chosen, option_set given, bool saw_separator) {
  if (chosen.help) return {};
  const int sources = chosen.sky_file.has_value() + chosen.satellite.has_value() +
                      chosen.records_file.has_value() + chosen.answers_file.has_value();
  if (sources > 1) return kit::failure{"--sky, --satellite, --records and --answers exclude each other"};
  for (const option_row& row : option_rows) {
    if ((given & any_of({row.id})) == 0) continue;
    if (const option_set idle = given & row.idle_beside; idle != 0)
      return kit::failure{option_name(row.id) + " has no effect with " + option_name(std::countr_zero(idle))};
    if (row.needs != 0 && (given & row.needs) == 0)
      return kit::failure{option_name(row.id) + " has no effect without " + option_names(row.needs)};
  }
  if (chosen.serve_path && saw_separator)
    return kit::failure{"--serve PATH and '-- COMMAND' exclude each other"};
  if (!chosen.serve_path && !saw_separator)
    return kit::failure{"nothing to do: give '-- COMMAND' or --serve PATH"};
  if (saw_separator && chosen.command.empty()) return kit::failure{"no command after '--'"};
  return {};
}

// One line for each option that has no effect somewhere: with which
// options, and without which.
std::string idle_options() {
  std::string lines;
  for (const option_row& row : option_rows) {
    if (row.idle_beside != 0)
      lines += "  " + option_name(row.id) + " with " + option_names(row.idle_beside) + "\n";
    if (row.needs != 0) lines += "  " + option_name(row.id) + " without " + option_names(row.needs) + "\n";
  }
  return lines;
}

}  // namespace

std::string usage() {
  return "Usage: blindscan-emulator [OPTION...] -- COMMAND [ARG...]\n"
         "       blindscan-emulator [OPTION...] --serve PATH\n"
         "\n"
         "Emulates the blind-scan driver: serves /dev/blindscanN to COMMAND only (in a\n"
         "private mount namespace) and exits with COMMAND's status, or serves on the\n"
         "existing file PATH until interrupted.\n"
         "\n"
         "  --device N          serve /dev/blindscanN (default 0); N is read as the\n"
         "                      tool reads its device number; repeat it to serve\n"
         "                      several nodes, each with a driver of its own\n"
         "  --sky FILE          scan the transponders in FILE instead of the built-in sky:\n"
         "                      one per line, \"FREQUENCY_KHZ H|V KSYM DVB-S|DVB-S2\", or\n"
         "                      a published channel list of [NAME] entries with\n"
         "                      FREQUENCY, POLARIZATION, SYMBOL_RATE and DELIVERY_SYSTEM\n"
         "                      (told apart by content)\n"
         "  --satellite NAME    scan " +
         std::string(kit::published_lists_directory) +
         "/NAME, a satellite's\n"
         "                      published list (package dtv-scan-tables; ls that\n"
         "                      directory for the names)\n"
         "  --records FILE      answer every scan with the exact record bytes in FILE\n"
         "  --answers FILE      answer as a real driver did, node by node: each scan\n"
         "                      request and each read with the next answer FILE\n"
         "                      gives for its node (scripts/replay-trace writes it)\n"
         "  --fail-ioctl ERRNO  refuse every scan request with ERRNO (a name: EIO, ...)\n"
         "  --fail-read ERRNO   fail every read with ERRNO\n"
         "  --read-bytes N      deliver at most N bytes per read\n"
         "  --fault SCAN:FAULT  FAULT on the SCANth scan request on each node alone\n"
         "                      (counted from 1), or with SCAN+ on it and every one\n"
         "                      after: fail-ioctl=ERRNO (refused), hang (answered only\n"
         "                      once its caller is interrupted), fail-read=ERRNO (the\n"
         "                      reads after it fail) or read-bytes=N (they deliver at\n"
         "                      most N bytes each); repeatable, the last given of a\n"
         "                      kind standing on a scan.  The three options above\n"
         "                      are --fault 1+:fail-ioctl=ERRNO and so on\n"
         "  --scan-ms N         let a scan request block for N milliseconds (to 3600000)\n"
         "  --log FILE          write what the driver sees to FILE, one event per line\n"
         "  --mode OCTAL        permission bits of the node (default 0666)\n"
         "  --jitter KHZ,KSYM   report each carrier found off its true frequency by up\n"
         "                      to KHZ kHz and off its symbol rate by up to KSYM kSym/s\n"
         "                      (never below 1), the same for a carrier in every scan\n"
         "  --seed N            seed the offsets of --jitter (default 1)\n"
         "  --serve PATH        serve on PATH in the current mount namespace\n"
         "  --partial           let COMMAND take part of the --answers: what it left\n"
         "                      out is named, and its status stands (otherwise 3)\n"
         "  --help              print this help\n"
         "\n"
         "--sky, --satellite, --records and --answers exclude each other.  A sky,\n"
         "records or answers file may hold at most 16 MiB.  Long options may be\n"
         "abbreviated while they stay unambiguous.  An option is refused where it\n"
         "would have no effect:\n" +
         idle_options() +
         "\n"
         "Exit status: COMMAND's (128 plus the signal that ended it), 0 when --serve\n"
         "is interrupted, 2 when the command line or the setup fails.\n"
         "\n"
         "Examples (a front end that runs mivo_blindscan by name finds it on PATH, as in\n"
         "the last):\n"
         "  blindscan-emulator -- mivo_blindscan 0 950 1950 1000 45000 0 0\n"
         "  blindscan-emulator --fault 2:fail-ioctl=EBUSY --fault 3:hang -- ./frontend\n"
         "  PATH=$PWD/build/host:$PATH blindscan-emulator --satellite Hotbird-13.0E -- ./frontend\n";
}

kit::result<options> parse_options(const std::vector<std::string_view>& arguments) {
  // getopt_long wants a writable argv with the program name first, which
  // its messages begin with.
  std::vector<std::string> storage{program_invocation_short_name};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(storage.size() + 1);
  for (std::string& argument : storage) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(storage.size());

  options chosen;
  chosen.device_numbers.clear();
  option_set given = 0;
  optind = 0;  // a fresh scan, also when called again
  opterr = 1;  // getopt says what is wrong with an option, in its own words
  int options_end = 1;
  while (true) {
    // '+': stop at the first argument that is not an option.
    const int value = getopt_long(argc, argv.data(), "+", long_options.data(), nullptr);
    if (value == -1) break;
    if (value == '?') return kit::failure{""};
    const int id = value - getopt_value_base;
    if (const kit::result<void> set = set_option(chosen, id, optarg); !set) return kit::failure{set.error()};
    given |= any_of({option_id(id)});
    options_end = optind;
  }
  // "--" ends the options only where getopt_long stopped on it, not where it
  // was an option's value.
  const bool saw_separator = optind == options_end + 1 && std::strcmp(argv[options_end], "--") == 0;
  if (!saw_separator && optind < argc)
    return kit::failure{"unexpected argument " + kit::quoted(argv[optind]) + " (a command goes after '--')"};
  if (saw_separator) chosen.command.assign(storage.begin() + optind, storage.end());
  if (const kit::result<void> combined = check_combination(chosen, given, saw_separator); !combined)
    return kit::failure{combined.error()};
  if (chosen.device_numbers.empty()) chosen.device_numbers.push_back(0);
  return chosen;
}

}  // namespace blindscan::emulator
