// blindscan-channels: the transponders in mivo_blindscan's report lines as a
// DVBv5 channel file.
#include <err.h>

#include <optional>
#include <string>
#include <vector>

#include "after_scan/channel_file.h"
#include "after_scan/command_line.h"
#include "after_scan/identify.h"
#include "after_scan/oscillators.h"
#include "kit/command.h"
#include "kit/shared_options.h"

namespace blindscan::after_scan {

namespace {

struct channels_options {
  std::string output = "-";
  bool tab_separated = false;
  std::vector<kit::sweep> sweeps;
  std::optional<kit::lnb> dish;
  kit::symbol_unit unit = kit::symbol_unit::ksym;
  bool help = false;
};

enum option_id : int {
  output_option,
  tsv_option,
  sweep_option,
  lnb_option,
  symbol_unit_option,
  help_option,
  option_count,
};

constexpr kit::option_row<channels_options> option_rows[] = {
    {output_option, kit::output_text, kit::set_file_name<&channels_options::output>},
    {tsv_option,
     {"tsv", nullptr, "write the transponders as tab-separated values (below) instead of a channel file"},
     kit::set_flag<&channels_options::tab_separated>},
    {sweep_option, kit::sweep_text, kit::add_sweep<&channels_options::sweeps>},
    {lnb_option, kit::report_lnb_text, kit::set_lnb<&channels_options::dish>},
    {symbol_unit_option, kit::symbol_unit_text, kit::set_symbol_unit<&channels_options::unit>},
    {help_option, kit::help_text, kit::set_flag<&channels_options::help>},
};
constexpr kit::option_table option_table{option_rows};
static_assert(option_table.size() == option_count && option_table.rows_follow_ids(),
              "every option has its row, in order");

std::string usage() {
  return "Usage: blindscan-channels [--output FILE] [--sweep ARGS]... [--lnb LNB]\n"
         "                          [--symbol-unit UNIT] [--tsv] [REPORT...]\n"
         "\n" +
         kit::filled(
             "Reads mivo_blindscan's report lines from each REPORT (none or '-': standard input) and writes "
             "the transponders they hold as a DVBv5 channel file, the format of dtv-scan-tables that "
             "dvbv5-scan takes as its initial tuning file and dvb-format-convert converts.  Each distinct "
             "transponder is one entry (a carrier reported twice, as the overlap of both bands reports it, "
             "once), with its delivery system, frequency, polarisation, symbol rate, modulation, roll-off, "
             "pilot, inversion and code rate as reported.  Lines that are not report lines ('open path ...', "
             "a failed request, headings) are passed over; a line starting with OK that is not a whole "
             "report "
             "line is refused.  With --lnb the frequencies are the true downlinks, which dvbv5-scan reads "
             "with the same LNB (its --lnbf); the sweeps tell each run's band and polarisation.") +
         "\n" + option_table.entries() + "\n" +
         kit::filled("With --tsv the output is, for programs, the header line") +
         shown_header(carrier_tsv_header) +
         kit::filled(
             "and then one line per transponder, the same ones in the same order as the channel file's "
             "entries: H or V; the frequency in kHz; the symbol rate in symbols per second; DVB-S or DVB-S2; "
             "the modulation, code rate and roll-off as the channel file spells them (PSK/8, 3/4, 35).") +
         "\n"
         "Example:\n"
         "  for pol in 0 1; do mivo_blindscan 0 950 2150 1000 45000 $pol 1; done >scan.txt\n"
         "  blindscan-channels -o scan.conf scan.txt && dvbv5-scan scan.conf\n"
         "\n" +
         kit::filled(
             "Each carrier is checked against the published lists in {lists} (package dtv-scan-tables), as "
             "blindscan-compare --identify checks it: where another LNB fits a list clearly better than the "
             "dish given, the file is written as asked and standard error says it is likely wrong; otherwise "
             "the dish's oscillators are measured against the list that fits best, and where one is off, the "
             "frequencies written are corrected and standard error says so.  Where the lists cannot be read, "
             "standard error says that.") +
         "\n" +
         kit::filled(
             "Exit status: 0 when the file is written, 1 when it is written but another LNB fits clearly "
             "better, {bad input} when the command line or a report is wrong, or the file cannot be written.",
             {{"{bad input}", std::to_string(kit::bad_input_status)}});
}

// The status of carriers checked against the published lists, as what is
// written should be: 1 where another LNB fits a list clearly better than the
// dish given (what is written is as asked, and said to be likely wrong);
// else 0, the carriers' downlinks corrected by the oscillators measured
// against the list that fits best, and said where they are off.  Where the
// lists cannot be read, that is said.
int checked(const kit::placed_report& report, const kit::lnb& dish,
            std::vector<kit::reported_carrier>& carriers) {
  const list_check check = check_against_lists(report, dish);
  if (!check.unread.empty()) {
    warnx("not checked against the published lists: %s", check.unread.c_str());
    return 0;
  }
  if (check.better) {
    const std::string advice =
        check.better->dish == kit::tool_bands().name ? "no --lnb" : "--lnb " + check.better->dish;
    warnx(
        "the report fits %s through %s far better (%zu of %zu carriers listed) than any list through %s "
        "(%zu): "
        "what is written is through %s, and likely wrong; give %s",
        check.better->list.c_str(), check.better->dish.c_str(), check.better->counts.matched,
        check.better->counts.reported, kit::lnb_name(dish).c_str(),
        check.through_dish ? check.through_dish->counts.matched : 0, kit::lnb_name(dish).c_str(),
        advice.c_str());
    return 1;
  }
  // Oscillators are measured against a list that holds most of the carriers.
  if (!check.through_dish || check.through_dish->counts.matched * 2 <= check.through_dish->counts.reported)
    return 0;
  const listed_by_frequency index(check.through_dish->transponders);
  const std::vector<oscillator_measure> measures = measure_oscillators(index, carriers, dish);
  std::string off;
  for (const oscillator_measure& measure : measures)
    if (measure.offset_khz.value_or(0) != 0) off += (off.empty() ? "" : "; ") + measure_words(measure);
  if (off.empty()) return 0;
  carriers = kit::distinct_carriers(corrected(carriers, measures));
  warnx("oscillators measured against %s: %s; the frequencies written are corrected by them",
        check.through_dish->list.c_str(), off.c_str());
  return 0;
}

kit::result<int> run(int argc, char** argv) {
  channels_options chosen;
  const kit::result<command_line_read> line = read_command_line(option_table, argc, argv, chosen, usage);
  if (!line) return kit::failure{line.error()};
  if (line->status) return *line->status;
  // A channel file of nothing tunes nothing; a table of no carriers is a
  // scan that found none (its "open path" line shows that it ran).
  const kit::result<kit::placed_report> report =
      read_placed(line->operands, chosen.unit, !chosen.tab_separated, chosen.sweeps);
  if (!report) return kit::failure{report.error()};
  const auto downlinks = kit::through(*report, chosen.dish.value_or(kit::tool_bands()));
  if (!downlinks) return kit::failure{downlinks.error()};
  const kit::lnb dish = chosen.dish.value_or(kit::tool_bands());
  std::vector<kit::reported_carrier> distinct = kit::distinct_carriers(downlinks->carriers);
  const int status = checked(*report, dish, distinct);
  const kit::result<void> written =
      write_output(chosen.output, chosen.tab_separated ? carrier_table(distinct) : channel_file(distinct));
  if (!written) return kit::failure{written.error()};
  return status;
}

}  // namespace

}  // namespace blindscan::after_scan

int main(int argc, char** argv) {
  return blindscan::kit::run_command(argc, argv, blindscan::after_scan::run);
}
