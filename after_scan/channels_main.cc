// blindscan-channels: the transponders in mivo_blindscan's report lines as a
// DVBv5 channel file.
#include <getopt.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "after_scan/channel_file.h"
#include "after_scan/command_line.h"
#include "after_scan/comparison.h"
#include "kit/command.h"
#include "kit/report_runs.h"

namespace blindscan::after_scan {

namespace {

constexpr char usage_head[] =
    "Usage: blindscan-channels [--output FILE] [--sweep ARGS]... [--lnb LNB]\n"
    "                          [--symbol-unit UNIT] [--tsv] [REPORT...]\n"
    "\n"
    "Reads mivo_blindscan's report lines from each REPORT (none or '-': standard\n"
    "input) and writes the transponders they hold as a DVBv5 channel file, the\n"
    "format of dtv-scan-tables that dvbv5-scan takes as its initial tuning file\n"
    "and dvb-format-convert converts.  Each distinct transponder is one entry (a\n"
    "carrier reported twice, as the overlap of both bands reports it, once),\n"
    "with its delivery system, frequency, polarisation, symbol rate, modulation,\n"
    "roll-off, pilot, inversion and code rate as reported.  Lines that are not\n"
    "report lines ('open path ...', a failed request, headings) are passed over;\n"
    "a line starting with OK that is not a whole report line is refused.  With\n"
    "--lnb the frequencies are the true downlinks, which dvbv5-scan reads with\n"
    "the same LNB (its --lnbf); the sweeps tell each run's band and polarisation,\n"
    "and are not read without it.\n"
    "\n"
    "  -o, --output FILE     write the channel file to FILE (default: standard output)\n"
    "  --tsv                 write the transponders as tab-separated values (below)\n"
    "                        instead of a channel file\n";
constexpr char usage_tsv[] =
    "\n"
    "With --tsv the output is, for programs, the header line\n";
constexpr char usage_tail[] =
    "and then one line per transponder, the same ones in the same order as the\n"
    "channel file's entries: H or V; the frequency in kHz; the symbol rate in\n"
    "symbols per second; DVB-S or DVB-S2; the modulation, code rate and roll-off\n"
    "as the channel file spells them (PSK/8, 3/4, 35).\n"
    "\n"
    "Example:\n"
    "  for pol in 0 1; do mivo_blindscan 0 950 2150 1000 45000 $pol 1; done >scan.txt\n"
    "  blindscan-channels -o scan.conf scan.txt && dvbv5-scan scan.conf\n"
    "\n"
    "Exit status: 0 when the file is written, 2 when the command line or a report\n"
    "is wrong, or the file cannot be written.\n";

kit::result<int> run(int argc, char** argv) {
  constexpr struct option options[] = {{"output", required_argument, nullptr, 'o'},
                                       {"tsv", no_argument, nullptr, 't'},
                                       sweep_option,
                                       lnb_option,
                                       symbol_unit_option,
                                       help_option,
                                       {nullptr, 0, nullptr, 0}};
  std::string output = "-";
  bool tab_separated = false;
  kit::symbol_unit unit = kit::symbol_unit::ksym;
  std::vector<sweep> sweeps;
  std::optional<kit::lnb> dish;
  for (int id = 0; (id = getopt_long(argc, argv, "o:", options, nullptr)) != -1;) {
    const kit::result<bool> taken = dish_option(id, sweeps, dish);
    if (!taken) return kit::failure{taken.error()};
    if (*taken) continue;
    if (id == 'o') {
      output = optarg;
    } else if (id == 't') {
      tab_separated = true;
    } else if (auto end = shared_option(id, unit,
                                        usage_head + std::string(sweep_options_help) +
                                            std::string(shared_options_help) + usage_tsv +
                                            shown_header(carrier_tsv_header) + usage_tail)) {
      return *end;
    }
  }
  // A channel file of nothing tunes nothing; a table of no carriers is a
  // scan that found none (its "open path" line shows that it ran).
  const auto inputs =
      kit::read_report_inputs(std::vector<std::string>(argv + optind, argv + argc), unit, !tab_separated);
  if (!inputs) return kit::failure{inputs.error()};
  const auto downlinks = kit::through(kit::place_runs(*inputs, sweeps.empty() ? whole_sweeps() : sweeps),
                                      dish.value_or(kit::tool_bands()));
  if (!downlinks) return kit::failure{downlinks.error()};
  const std::vector<kit::reported_carrier> distinct = kit::distinct_carriers(downlinks->carriers);
  const kit::result<void> written =
      write_output(output, tab_separated ? carrier_table(distinct) : channel_file(distinct));
  if (!written) return kit::failure{written.error()};
  return 0;
}

}  // namespace

}  // namespace blindscan::after_scan

int main(int argc, char** argv) {
  return blindscan::kit::run_command(argc, argv, blindscan::after_scan::run);
}
