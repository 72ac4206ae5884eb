#include "emulator/input/options.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <utility>

#include "common/convert_argument.h"
#include "emulator/input/fault_option.h"
#include "kit/errno_names.h"
#include "kit/installation_faults.h"
#include "kit/lnb.h"
#include "kit/option_table.h"
#include "kit/read_file.h"
#include "kit/shared_options.h"
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

// The longest a scan request may be made to block, in milliseconds.
constexpr unsigned longest_scan_ms = 3'600'000;

kit::result<void> add_device(options& chosen, std::string_view option, const char* value) {
  // The node the tool opens for the same text.
  const int32_t number = common::convert_argument(value);
  if (std::find(chosen.device_numbers.begin(), chosen.device_numbers.end(), number) !=
      chosen.device_numbers.end())
    return kit::failure{std::string(option) + " " + std::to_string(number) + " is given twice"};
  chosen.device_numbers.push_back(number);
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
  kit::result<kit::lnb> dish = kit::read_lnb(option, value);
  if (!dish) return kit::failure{dish.error()};
  chosen.driver.dish = std::move(*dish);
  return {};
}

// The driver's faults and settings that an answers file replaces with its
// own answers.
constexpr kit::option_set recorded_answers = kit::any_of({answers_option});
// What changes how a search of the sky answers (--jitter, --lnb, an
// installation fault) does nothing where none is made or none is handed
// out: records are answered as they are, every scan refused or every read
// failed.
constexpr kit::option_set no_search =
    recorded_answers | kit::any_of({records_option, fail_ioctl_option, fail_read_option});

// Every option, in the order of option_id: getopt's table, the help and
// with it the manual page's OPTIONS are made from these rows, and the
// check below makes an option without its row fail to compile.  A help
// text's {longest scan} is the longest --scan-ms, {installation faults} the
// kit's installation faults with what each does; the kit fills in the
// facts of the options the commands share, such as {lists}.
constexpr kit::option_row<options> option_rows[] = {
    // The served file is the one node; an answers file names its nodes.
    {device_option,
     {"device", "N",
      "serve /dev/blindscanN (default 0).  N is read as mivo_blindscan reads its first argument, so that "
      "both name the same node: 3, -1, 0x2 and 12abc (which is 12) alike.  Repeat it to serve several "
      "nodes, each by a driver of its own with the same options, as on a box with several tuners"},
     add_device,
     kit::any_of({serve_option, answers_option})},
    {sky_option,
     {"sky", "FILE",
      "scan the transponders in FILE instead of the built-in sky: one per line, \"FREQUENCY_KHZ H|V KSYM "
      "DVB-S|DVB-S2\", or a published channel list of [NAME] entries with FREQUENCY, POLARIZATION, "
      "SYMBOL_RATE and DELIVERY_SYSTEM (told apart by content)"},
     kit::set_file_name<&options::sky_file>},
    {satellite_option,
     {"satellite", "NAME",
      "scan {lists}/NAME, a satellite's published channel list (package dtv-scan-tables; ls that directory "
      "for the names)"},
     // Which names there are, the list's folder tells when it is read.
     kit::set_text<&options::satellite>},
    {records_option,
     {"records", "FILE",
      "answer every accepted scan request with exactly the bytes in FILE (records in native byte order) "
      "instead of a search"},
     kit::set_file_name<&options::records_file>},
    {answers_option,
     {"answers", "FILE",
      "answer as a real driver did, node by node: each node FILE names is served, and each open, scan "
      "request and read made on it takes the next answer FILE gives for that node (replay-trace writes one "
      "from a box's strace record)"},
     kit::set_file_name<&options::answers_file>},
    {fail_ioctl_option,
     {"fail-ioctl", "ERRNO",
      "refuse every scan request with ERRNO, a name such as EIO, EBUSY or ETIMEDOUT: --fault "
      "1+:fail-ioctl=ERRNO"},
     add_failure_on_every_scan<fault_kind::fail_ioctl>,
     recorded_answers},
    {fail_read_option,
     {"fail-read", "ERRNO", "fail every read with ERRNO: --fault 1+:fail-read=ERRNO"},
     add_failure_on_every_scan<fault_kind::fail_read>,
     recorded_answers},
    // A refused scan leaves nothing to read, and a failed read delivers nothing.
    {read_bytes_option,
     {"read-bytes", "N", "deliver at most N bytes per read: --fault 1+:read-bytes=N"},
     add_read_bytes,
     recorded_answers | kit::any_of({fail_ioctl_option, fail_read_option})},
    {fault_option,
     {"fault", "SCAN:FAULT",
      "put FAULT on the SCANth scan request made on each node (counted from 1, node by node) alone or, "
      "written SCAN+:FAULT, on it and every one after it.  FAULT is fail-ioctl=ERRNO (the request is "
      "refused with ERRNO), hang (the request is answered only once its caller is interrupted by a signal, "
      "with EINTR, or killed, as a tuner that never finishes), fail-read=ERRNO (the reads that follow the "
      "request on its file fail with ERRNO) or read-bytes=N (those reads deliver at most N bytes each; 25 "
      "delivers two records and one byte).  FAULT may also be a fault of the dish's installation, which the "
      "search of the sky then answers as a real dish would: {installation faults}.  These change what the "
      "search finds, as --lnb does, and are refused where --lnb is.  Repeatable: each fault falls on the "
      "scans it names, installation faults of several kinds together; of fail-ioctl and hang falling on one "
      "scan, of two fail-read, of two read-bytes and of two installation faults of one kind (no-tone and "
      "tone-stuck are one), the last given stands, so that a fault on one scan can follow one on every "
      "scan.  A read before any scan request counts as the first scan's.  --fault 2:fail-ioctl=EBUSY "
      "--fault 3:hang refuses the second scan, leaves the third waiting and answers every other one; "
      "--fault 1+:no-tone --fault 3:pol-stuck=V serves every scan the low band, and the third the vertical "
      "polarisation alone"},
     add_fault,
     recorded_answers},
    {scan_ms_option,
     {"scan-ms", "N",
      "let a scan request block for N milliseconds (at most {longest scan}), as a real scan does"},
     set_scan_time},
    {log_option,
     {"log", "FILE", "write what the driver sees to FILE, one event per line"},
     kit::set_file_name<&options::log_file>},
    {mode_option,
     {"mode", "OCTAL",
      "permission bits of the node (default 0666); the kernel checks them for every user but root"},
     set_mode},
    // The offsets are those of a search, which records skip and whose
    // carriers a refused scan or a failed read never hands out.
    {jitter_option,
     {"jitter", "KHZ,KSYM",
      "report each carrier found off its true frequency by a whole number of kHz in [-KHZ, +KHZ] and off "
      "its symbol rate by a whole number of kSym/s in [-KSYM, +KSYM] (never below 1), as a real demodulator "
      "measures them.  The offsets come from a generator seeded by --seed and the carrier itself, so that a "
      "carrier gets the same offsets in every scan and in both bands, and another seed gives others.  Which "
      "carriers a scan finds, and their order, are decided on the true values; the delivery system never "
      "changes"},
     set_jitter,
     no_search},
    // The seed is that of --jitter's offsets, idle where they are.
    {seed_option,
     {"seed", "N", "seed the offsets of --jitter (default 1)"},
     set_seed,
     0,
     kit::any_of({jitter_option})},
    // The dish is that of a search, as --jitter's offsets are.
    {lnb_option,
     kit::lnb_text("serve the sky through LNB: {lnb naming}.  The after-scan commands take --lnb alike "
                   "(default: {tool bands})"),
     set_lnb, no_search},
    {serve_option,
     {"serve", "PATH", "serve on PATH, an existing file, in the current mount namespace (the second form)"},
     kit::set_file_name<&options::serve_path>},
    // Answers left out are named once the command has ended; served on a
    // file, nothing ends.
    {partial_option,
     {"partial", nullptr,
      "let COMMAND take part of the --answers: what it left out is named, and its status stands "
      "(otherwise 3)"},
     kit::set_flag<&options::partial>,
     kit::any_of({serve_option}),
     kit::any_of({answers_option})},
    {help_option, kit::help_text, kit::set_flag<&options::help>},
};

constexpr kit::option_table option_table{option_rows};
static_assert(option_table.size() == option_count && option_table.rows_follow_ids(),
              "every option has its row, in order");

// What the options that name what a scan finds say of each other.
constexpr char exclusive_sources[] = "--sky, --satellite, --records and --answers exclude each other";

kit::result<void> check_combination(const options& chosen, const kit::command_line& line) {
  if (chosen.help) return {};
  const int sources = chosen.sky_file.has_value() + chosen.satellite.has_value() +
                      chosen.records_file.has_value() + chosen.answers_file.has_value();
  if (sources > 1) return kit::failure{exclusive_sources};
  if (const kit::result<void> effects = option_table.check_effects(line.given); !effects)
    return kit::failure{effects.error()};
  // The first installation fault given, said as it is read.
  const std::vector<scan_fault>& faults = chosen.driver.faults;
  const auto installation = std::find_if(faults.begin(), faults.end(), [](const scan_fault& fault) {
    return fault.kind == fault_kind::installation;
  });
  if (const kit::option_set idle = line.given & no_search; installation != faults.end() && idle != 0)
    return kit::failure{"--fault " + std::to_string(installation->first_scan) +
                        (installation->later_scans ? "+:" : ":") +
                        kit::installation_fault_text(installation->installation) + " has no effect with " +
                        kit::option_name(option_rows[std::countr_zero(idle)].text)};
  if (chosen.serve_path && line.separated)
    return kit::failure{"--serve PATH and '-- COMMAND' exclude each other"};
  if (!chosen.serve_path && !line.separated)
    return kit::failure{"nothing to do: give '-- COMMAND' or --serve PATH"};
  if (line.separated && chosen.command.empty()) return kit::failure{"no command after '--'"};
  return {};
}

// What holds for the options together, with a line for each option that
// has no effect somewhere: with which options, and without which.
std::string combination_notes() {
  return kit::filled(std::string(exclusive_sources) + ".  A sky, records or answers file may hold at most " +
                     std::to_string(kit::input_limit_bytes >> 20) +
                     " MiB.  Long options may be abbreviated while they stay unambiguous.  An option is "
                     "refused where it would have no effect:") +
         option_table.effect_notes();
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
         option_table.entries({{"{longest scan}", std::to_string(longest_scan_ms)},
                               {"{installation faults}", installation_fault_help()}}) +
         "\n" + combination_notes() +
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
  options chosen;
  chosen.device_numbers.clear();
  const kit::result<kit::command_line> line =
      option_table.parse(arguments, chosen, kit::operand_order::after_options);
  if (!line) return kit::failure{line.error()};
  if (!line->separated && !line->operands.empty())
    return kit::failure{"unexpected argument " + kit::quoted(line->operands.front()) +
                        " (a command goes after '--')"};
  chosen.command = line->operands;
  if (const kit::result<void> combined = check_combination(chosen, *line); !combined)
    return kit::failure{combined.error()};
  if (chosen.device_numbers.empty()) chosen.device_numbers.push_back(0);
  return chosen;
}

}  // namespace blindscan::emulator
