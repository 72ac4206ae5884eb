#include "emulator/input/options.h"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "common/convert_argument.h"
#include "emulator/input/fault_option.h"
#include "kit/errno_names.h"
#include "kit/lnb.h"
#include "kit/read_file.h"
#include "kit/sky_file.h"
#include "kit/text.h"

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
  lnb_option,
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

// The longest a scan request may be made to block, in milliseconds.
constexpr unsigned longest_scan_ms = 3'600'000;

// Each setter takes an option's value into chosen, or says what is wrong
// with it, naming the option as option; it is called as the option is
// read, so that a bad value is named before any other option is looked at.
using option_setter = kit::result<void> (*)(options& chosen, std::string_view option, const char* value);

template <std::optional<std::string> options::*field>
kit::result<void> set_file_name(options& chosen, std::string_view option, const char* value) {
  if (*value == '\0') return kit::failure{std::string(option) + " needs a file name"};
  chosen.*field = value;
  return {};
}

kit::result<void> add_device(options& chosen, std::string_view option, const char* value) {
  // The node the tool opens for the same text.
  const int32_t number = common::convert_argument(value);
  if (std::find(chosen.device_numbers.begin(), chosen.device_numbers.end(), number) !=
      chosen.device_numbers.end())
    return kit::failure{std::string(option) + " " + std::to_string(number) + " is given twice"};
  chosen.device_numbers.push_back(number);
  return {};
}

kit::result<void> set_satellite(options& chosen, std::string_view, const char* value) {
  // Which names there are, the list's folder tells when it is read.
  chosen.satellite = value;
  return {};
}

// The fault kind on every scan from the first, with the errno named by value.
template <fault_kind kind>
kit::result<void> add_failure_on_every_scan(options& chosen, std::string_view option, const char* value) {
  const kit::result<int> error = kit::errno_value(value);
  if (!error) return kit::failure{std::string(option) + ": " + error.error()};
  chosen.driver.faults.push_back({.kind = kind, .error = *error});
  return {};
}

// cppcheck takes the designated initializer below for no change to chosen.
// cppcheck-suppress constParameterCallback
kit::result<void> add_read_bytes(options& chosen, std::string_view option, const char* value) {
  size_t bytes = 0;
  if (!kit::parse_number(value, bytes))
    return kit::failure{std::string(option) + " needs a byte count, not " + kit::quoted(value)};
  chosen.driver.faults.push_back({.kind = fault_kind::read_bytes, .bytes = bytes});
  return {};
}

kit::result<void> add_fault(options& chosen, std::string_view, const char* value) {
  const kit::result<scan_fault> fault = parse_fault(value);
  if (!fault) return kit::failure{fault.error()};
  chosen.driver.faults.push_back(*fault);
  return {};
}

kit::result<void> set_scan_time(options& chosen, std::string_view option, const char* value) {
  unsigned ms = 0;
  if (!kit::parse_number(value, ms) || ms > longest_scan_ms)
    return kit::failure{std::string(option) + " needs milliseconds from 0 to " +
                        std::to_string(longest_scan_ms) + ", not " + kit::quoted(value)};
  chosen.driver.scan_time = std::chrono::milliseconds(ms);
  return {};
}

kit::result<void> set_mode(options& chosen, std::string_view option, const char* value) {
  unsigned mode = 0;
  if (!kit::parse_number(value, mode, 8) || mode > 07777)
    return kit::failure{std::string(option) + " needs octal permission bits such as 0600, not " +
                        kit::quoted(value)};
  chosen.node_mode = static_cast<mode_t>(mode);
  return {};
}

kit::result<void> set_jitter(options& chosen, std::string_view option, const char* value) {
  const std::string_view text = value;
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos ||
      !kit::parse_number(text.substr(0, comma), chosen.driver.jitter.khz) ||
      !kit::parse_number(text.substr(comma + 1), chosen.driver.jitter.ksym))
    return kit::failure{std::string(option) + " needs KHZ,KSYM, two whole numbers such as 500,10, not " +
                        kit::quoted(text)};
  return {};
}

kit::result<void> set_seed(options& chosen, std::string_view option, const char* value) {
  if (!kit::parse_number(value, chosen.driver.jitter.seed))
    return kit::failure{std::string(option) + " needs a whole number, not " + kit::quoted(value)};
  return {};
}

kit::result<void> set_lnb(options& chosen, std::string_view option, const char* value) {
  kit::result<kit::lnb> dish = kit::parse_lnb(value);
  if (!dish) return kit::failure{std::string(option) + ": " + dish.error()};
  chosen.driver.dish = std::move(*dish);
  return {};
}

kit::result<void> allow_partial(options& chosen, std::string_view, const char*) {
  chosen.partial = true;
  return {};
}

kit::result<void> ask_for_help(options& chosen, std::string_view, const char*) {
  chosen.help = true;
  return {};
}

// Every option: its name, its value as the help names it (none for an
// option without one), what it does, and when it has an effect: never
// beside one of idle_beside, and only beside one of needs where that is not
// empty.  An option given where it would do nothing is refused, so that no
// one believes it did something.  getopt's table, the help and with it the
// manual page's OPTIONS are made from these rows, in the order of option_id;
// the checks below make an option without its row fail to compile.  A help
// text's {lists} is the published lists' folder, {longest scan} the longest
// --scan-ms.
struct option_row {
  const char* name;
  option_id id;
  const char* value;
  const char* help;
  option_setter set;
  option_set idle_beside;
  option_set needs;
};

// The driver's faults and settings that an answers file replaces with its
// own answers.
constexpr option_set recorded_answers = any_of({answers_option});

constexpr option_row option_rows[] = {
    // The served file is the one node; an answers file names its nodes.
    {"device", device_option, "N",
     "serve /dev/blindscanN (default 0).  N is read as mivo_blindscan reads its first argument, so that "
     "both name the same node: 3, -1, 0x2 and 12abc (which is 12) alike.  Repeat it to serve several "
     "nodes, each by a driver of its own with the same options, as on a box with several tuners",
     add_device, any_of({serve_option, answers_option}), 0},
    {"sky", sky_option, "FILE",
     "scan the transponders in FILE instead of the built-in sky: one per line, \"FREQUENCY_KHZ H|V KSYM "
     "DVB-S|DVB-S2\", or a published channel list of [NAME] entries with FREQUENCY, POLARIZATION, "
     "SYMBOL_RATE and DELIVERY_SYSTEM (told apart by content)",
     set_file_name<&options::sky_file>, 0, 0},
    {"satellite", satellite_option, "NAME",
     "scan {lists}/NAME, a satellite's published channel list (package dtv-scan-tables; ls that directory "
     "for the names)",
     set_satellite, 0, 0},
    {"records", records_option, "FILE",
     "answer every accepted scan request with exactly the bytes in FILE (records in native byte order) "
     "instead of a search",
     set_file_name<&options::records_file>, 0, 0},
    {"answers", answers_option, "FILE",
     "answer as a real driver did, node by node: each node FILE names is served, and each open, scan "
     "request and read made on it takes the next answer FILE gives for that node (replay-trace writes one "
     "from a box's strace record)",
     set_file_name<&options::answers_file>, 0, 0},
    {"fail-ioctl", fail_ioctl_option, "ERRNO",
     "refuse every scan request with ERRNO, a name such as EIO, EBUSY or ETIMEDOUT: --fault "
     "1+:fail-ioctl=ERRNO",
     add_failure_on_every_scan<fault_kind::fail_ioctl>, recorded_answers, 0},
    {"fail-read", fail_read_option, "ERRNO", "fail every read with ERRNO: --fault 1+:fail-read=ERRNO",
     add_failure_on_every_scan<fault_kind::fail_read>, recorded_answers, 0},
    // A refused scan leaves nothing to read, and a failed read delivers nothing.
    {"read-bytes", read_bytes_option, "N", "deliver at most N bytes per read: --fault 1+:read-bytes=N",
     add_read_bytes, recorded_answers | any_of({fail_ioctl_option, fail_read_option}), 0},
    {"fault", fault_option, "SCAN:FAULT",
     "put FAULT on the SCANth scan request made on each node (counted from 1, node by node) alone or, "
     "written SCAN+:FAULT, on it and every one after it.  FAULT is fail-ioctl=ERRNO (the request is "
     "refused with ERRNO), hang (the request is answered only once its caller is interrupted by a signal, "
     "with EINTR, or killed, as a tuner that never finishes), fail-read=ERRNO (the reads that follow the "
     "request on its file fail with ERRNO) or read-bytes=N (those reads deliver at most N bytes each; 25 "
     "delivers two records and one byte).  Repeatable: each fault falls on the scans it names; of "
     "fail-ioctl and hang falling on one scan, and of two fail-read or two read-bytes, the last given "
     "stands, so that a fault on one scan can follow one on every scan.  A read before any scan request "
     "counts as the first scan's.  --fault 2:fail-ioctl=EBUSY --fault 3:hang refuses the second scan, "
     "leaves the third waiting and answers every other one",
     add_fault, recorded_answers, 0},
    {"scan-ms", scan_ms_option, "N",
     "let a scan request block for N milliseconds (at most {longest scan}), as a real scan does",
     set_scan_time, 0, 0},
    {"log", log_option, "FILE", "write what the driver sees to FILE, one event per line",
     set_file_name<&options::log_file>, 0, 0},
    {"mode", mode_option, "OCTAL",
     "permission bits of the node (default 0666); the kernel checks them for every user but root", set_mode,
     0, 0},
    // The offsets are those of a search, which records skip and whose
    // carriers a refused scan or a failed read never hands out.
    {"jitter", jitter_option, "KHZ,KSYM",
     "report each carrier found off its true frequency by a whole number of kHz in [-KHZ, +KHZ] and off "
     "its symbol rate by a whole number of kSym/s in [-KSYM, +KSYM] (never below 1), as a real demodulator "
     "measures them.  The offsets come from a generator seeded by --seed and the carrier itself, so that a "
     "carrier gets the same offsets in every scan and in both bands, and another seed gives others.  Which "
     "carriers a scan finds, and their order, are decided on the true values; the delivery system never "
     "changes",
     set_jitter, recorded_answers | any_of({records_option, fail_ioctl_option, fail_read_option}), 0},
    // The seed is that of --jitter's offsets, idle where they are.
    {"seed", seed_option, "N", "seed the offsets of --jitter (default 1)", set_seed, 0,
     any_of({jitter_option})},
    // The dish is that of a search, as --jitter's offsets are.
    {"lnb", lnb_option, "LNB",
     "serve the sky through LNB: a type by name, in any case, one of {lnb names} (the types and ranges "
     "dvbv5-scan -l help lists), or its oscillators in MHz, LOW alone or LOW,HIGH,SWITCH, where LOW serves "
     "the downlinks up to SWITCH and HIGH those from it; an oscillator above its band, as in C-band, "
     "inverts the spectrum.  The after-scan commands take --lnb alike (default: {tool bands})",
     set_lnb, recorded_answers | any_of({records_option, fail_ioctl_option, fail_read_option}), 0},
    {"serve", serve_option, "PATH",
     "serve on PATH, an existing file, in the current mount namespace (the second form)",
     set_file_name<&options::serve_path>, 0, 0},
    // Answers left out are named once the command has ended; served on a
    // file, nothing ends.
    {"partial", partial_option, nullptr,
     "let COMMAND take part of the --answers: what it left out is named, and its status stands "
     "(otherwise 3)",
     allow_partial, any_of({serve_option}), any_of({answers_option})},
    {"help", help_option, nullptr, "print this help and exit", ask_for_help, 0, 0},
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
  for (int id = 0; id < option_count; ++id) {
    const option_row& row = option_rows[id];
    table[id] = {row.name, row.value != nullptr ? required_argument : no_argument, nullptr,
                 getopt_value_base + id};
  }
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

// What the options that name what a scan finds say of each other.
constexpr char exclusive_sources[] = "--sky, --satellite, --records and --answers exclude each other";

kit::result<void> check_combination(const options& chosen, option_set given, bool saw_separator) {
  if (chosen.help) return {};
  const int sources = chosen.sky_file.has_value() + chosen.satellite.has_value() +
                      chosen.records_file.has_value() + chosen.answers_file.has_value();
  if (sources > 1) return kit::failure{exclusive_sources};
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

// The help's width, and the column where an option's text starts.
constexpr size_t help_width = 79;
constexpr size_t help_text_column = 22;

// Appends text and a line feed to help, whose last line holds column
// characters: its words filled into lines of at most help_width, those
// after the first indented by indent.  The spaces between words on one
// line are kept, as the two after a sentence.
void append_filled(std::string& help, std::string_view text, size_t column, size_t indent) {
  std::string_view gap;
  while (!text.empty()) {
    const size_t word_end = std::min(text.find(' '), text.size());
    const std::string_view word = text.substr(0, word_end);
    text.remove_prefix(word_end);
    if (column > indent && column + gap.size() + word.size() > help_width) {
      help += '\n';
      help.append(indent, ' ');
      column = indent;
    } else {
      help += gap;
      column += gap.size();
    }
    help += word;
    column += word.size();
    const size_t spaces = std::min(text.find_first_not_of(' '), text.size());
    gap = text.substr(0, spaces);
    text.remove_prefix(spaces);
  }
  help += '\n';
}

// text with each {name} of facts replaced by its value.
std::string with_facts(std::string text,
                       std::initializer_list<std::pair<std::string_view, std::string>> facts) {
  for (const auto& [name, value] : facts)
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size()))
      text.replace(at, name.size(), value);
  return text;
}

// One entry for each option: "  --name VALUE", and what it does from the
// column help2man and a reader expect it in.
std::string option_entries() {
  std::string entries;
  for (const option_row& row : option_rows) {
    entries += "  " + option_name(row.id);
    if (row.value != nullptr) entries += std::string(" ") + row.value;
    // Two spaces at least between the option and its text, which goes on
    // the next line where they do not fit.
    const size_t column = entries.size() - entries.rfind('\n') - 1;
    if (column + 2 > help_text_column) entries += "\n";
    entries.append(column + 2 > help_text_column ? help_text_column : help_text_column - column, ' ');
    append_filled(entries,
                  with_facts(row.help, {{"{lists}", std::string(kit::published_lists_directory)},
                                        {"{longest scan}", std::to_string(longest_scan_ms)},
                                        {"{tool bands}", kit::tool_bands().description},
                                        {"{lnb names}", kit::known_lnb_names()}}),
                  help_text_column, help_text_column);
  }
  return entries;
}

// What holds for the options together, with a line for each option that
// has no effect somewhere: with which options, and without which.
std::string combination_notes() {
  std::string notes;
  append_filled(notes,
                std::string(exclusive_sources) + ".  A sky, records or answers file may hold at most " +
                    std::to_string(kit::input_limit_bytes >> 20) +
                    " MiB.  Long options may be abbreviated while they stay unambiguous.  An option is "
                    "refused where it would have no effect:",
                0, 0);
  for (const option_row& row : option_rows) {
    if (row.idle_beside != 0)
      append_filled(notes, "  " + option_name(row.id) + " with " + option_names(row.idle_beside), 0, 4);
    if (row.needs != 0)
      append_filled(notes, "  " + option_name(row.id) + " without " + option_names(row.needs), 0, 4);
  }
  return notes;
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
         "Options:\n" +
         option_entries() + "\n" + combination_notes() +
         "\n"
         "Examples:\n"
         "  blindscan-emulator -- mivo_blindscan 0 950 1950 1000 45000 0 0\n"
         "  blindscan-emulator --fault 2:fail-ioctl=EBUSY --fault 3:hang -- ./frontend\n"
         "  blindscan-emulator --satellite Hotbird-13.0E -- ./frontend\n"
         "\n"
         "Exit status: COMMAND's (128 plus the signal that ended it), 0 when --serve\n"
         "is interrupted, 3 when an answers file held no answer for a scan request,\n"
         "2 when the command line or the setup fails.\n";
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
    const kit::result<void> set =
        option_rows[id].set(chosen, option_name(id), optarg != nullptr ? optarg : "");
    if (!set) return kit::failure{set.error()};
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
