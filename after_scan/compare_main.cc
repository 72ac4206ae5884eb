// blindscan-compare: mivo_blindscan's report lines checked against a
// satellite's published transponder list.
#include <err.h>

#include <optional>
#include <string>
#include <vector>

#include "after_scan/command_line.h"
#include "after_scan/comparison.h"
#include "after_scan/identify.h"
#include "kit/command.h"
#include "kit/installation_faults.h"
#include "kit/shared_options.h"
#include "kit/sky_file.h"

namespace blindscan::after_scan {

namespace {

struct compare_options {
  std::optional<std::string> satellite;
  std::optional<std::string> list_file;
  std::vector<kit::sweep> sweeps;
  std::optional<kit::lnb> dish;
  kit::symbol_unit unit = kit::symbol_unit::ksym;
  bool summary_only = false;
  bool tab_separated = false;
  bool identify = false;
  bool help = false;
};

enum option_id : int {
  satellite_option,
  list_option,
  sweep_option,
  lnb_option,
  symbol_unit_option,
  identify_option,
  summary_option,
  tsv_option,
  help_option,
  option_count,
};

// How many of the best fits --identify prints.
constexpr size_t fits_shown = 5;

constexpr kit::option_row<compare_options> option_rows[] = {
    {satellite_option,
     {"satellite", "NAME",
      "the list of NAME in {lists} (package dtv-scan-tables; ls that directory for the names)"},
     kit::set_text<&compare_options::satellite>},
    {list_option,
     {"list", "FILE", "the list in FILE: a DVBv5 channel file, or the driver stand-in's sky file"},
     kit::set_file_name<&compare_options::list_file>},
    {sweep_option, kit::sweep_text, kit::add_sweep<&compare_options::sweeps>},
    {lnb_option, kit::report_lnb_text, kit::set_lnb<&compare_options::dish>},
    {symbol_unit_option, kit::symbol_unit_text, kit::set_symbol_unit<&compare_options::unit>},
    {identify_option,
     {"identify", nullptr,
      "rank every published list through every LNB type (and the oscillators the report adds) by how well "
      "each fits: twice the reported carriers it matches (each oscillator measured and corrected), less the "
      "reported carriers it lacks and the listed ones in range left unmatched; and print the best "
      "{fits shown}, one a line: 'NAME through LNB: M of R reported matched, L listed in range'; with "
      "neither "
      "--satellite, --list nor --lnb"},
     kit::set_flag<&compare_options::identify>},
    {summary_option,
     {"summary", nullptr, "print the summary line alone"},
     kit::set_flag<&compare_options::summary_only>},
    {tsv_option,
     {"tsv", nullptr,
      "print the table as tab-separated values (below), without the summary line (not with --summary)"},
     kit::set_flag<&compare_options::tab_separated>},
    {help_option, kit::help_text, kit::set_flag<&compare_options::help>},
};
constexpr kit::option_table option_table{option_rows};
static_assert(option_table.size() == option_count && option_table.rows_follow_ids(),
              "every option has its row, in order");

// What the comparison makes of a real dish: the oscillators, the findings
// and the misses they explain.
std::string usage_real_dish() {
  std::string faults;
  for (const kit::installation_fault_type& type : kit::installation_fault_types)
    faults += (faults.empty() ? "" : ", ") + std::string(type.id) + " (" + type.seen + ")";
  return kit::filled(
      "Each oscillator of the dish is measured from the report against the list: the offset most carriers "
      "agree on within {search} MHz, the wide carriers weighing most, said to 0.1 MHz and corrected before "
      "the carriers are matched; where too few carriers agree, or the carriers' own errors of measurement "
      "could make the offset, it is taken as nominal.  The faults of an installation that the scan shows "
      "are findings, each with what shows it, by the names the driver stand-in serves them by: {faults}; "
      "and wrong-lnb, where another LNB fits the list clearly better or the one given takes none of it.  A "
      "miss a fault explains is 'explained by a fault found'; one that the sweeps assumed where no --sweep "
      "is given may not have reached, 'where the sweeps are assumed'; one among found neighbours where "
      "carriers the list does not hold were found, 'perhaps no longer on air' (list-out-of-date).  In range "
      "and not found is left for what nothing else explains.",
      {{"{search}", "+/-" + std::to_string(offset_search_khz / 1000)}, {"{faults}", faults}});
}

std::string usage() {
  const uint64_t example_rate = 27500;
  const std::string tolerance = std::to_string(example_rate / kit::tolerance_parts);
  return "Usage: blindscan-compare (--satellite NAME | --list FILE) [--sweep ARGS]...\n"
         "                         [--lnb LNB] [--symbol-unit UNIT] [--summary] [--tsv]\n"
         "                         [REPORT...]\n"
         "   or: blindscan-compare --identify [--sweep ARGS]... [--symbol-unit UNIT]\n"
         "                         [REPORT...]\n"
         "\n" +
         kit::filled(
             "Checks mivo_blindscan's report lines, read from each REPORT (none or '-': standard input), "
             "against a published transponder list, given the sweeps that made them.  Each listed "
             "transponder is found (with the reported carrier's frequency and symbol-rate offsets) or "
             "missed, and why: out of range (no sweep of its polarisation reached its frequency; the band "
             "that would is named), symbol rate out of range, record cap (each sweep that reached it "
             "reported {records} carriers below it first), sweep ended early (the lines of each sweep that "
             "reached it end below it, at the {records} records' cap or with two listed carriers or more "
             "beyond the last: a cut-short read or an interrupted scan, which a replay of its trace shows), "
             "or in range and not found: the dish, the cable or the driver.  The n-th run of the tool over "
             "the REPORTs in turn (told apart by its 'open path' line, in a file or as a terminal shows it) "
             "is the n-th sweep; where the runs and the sweeps cannot be paired so, no sweep is said to have "
             "ended early.  Each reported carrier that is none of the listed ones is an extra: unpublished, "
             "off a listed carrier's frequency, or outside every sweep given.  What a sweep reaches is what "
             "the driver stand-in's blind search finds in the list.",
             {{"{records}", std::to_string(device::max_records)}}) +
         "\n" + usage_real_dish() + "\n" +
         kit::filled(
             "A reported carrier is a listed one when it has the same polarisation and both its frequency "
             "and its symbol rate lie within 1/{parts} of the listed symbol rate of the listed values: "
             "{tolerance} kHz and {tolerance} kSym/s at {rate} kSym/s.  Where another published list "
             "matches clearly more of the report's carriers (half again as many, and {more} "
             "more), standard error says so.",
             {{"{parts}", std::to_string(kit::tolerance_parts)},
              {"{tolerance}", tolerance},
              {"{rate}", std::to_string(example_rate)},
              {"{more}", std::to_string(clearly_more_carriers)}}) +
         "\n" + option_table.entries({{"{fits shown}", std::to_string(fits_shown)}}) + "\n" +
         kit::filled(
             "The output is a summary line, a line for each oscillator measured ('oscillator NAME ...') and "
             "for each finding ('finding ID: what shows it'), then one line per listed transponder and per "
             "extra carrier in ascending frequency.  With --tsv it is, for programs, the header line") +
         shown_header(comparison_tsv_header) +
         kit::filled(
             "and then a row for each oscillator (oscillator, nothing, its frequency as measured in kHz, the "
             "carriers that agree on it, nothing, what the summary says of it) and for each finding "
             "(finding, four fields of nothing, 'ID: what shows it'), then the same lines as the table's in "
             "the same order: found, missed or extra; H or V; the listed frequency in kHz (an extra's as "
             "reported); the symbol rate in symbols per second; DVB-S or DVB-S2; the detail, as the table "
             "gives it.") +
         "\n"
         "Example:\n"
         "  mivo_blindscan 0 950 2150 1000 45000 0 1 >scan.txt\n"
         "  blindscan-compare --satellite Astra-19.2E --sweep '0 950 2150 1000 45000 0 1' scan.txt\n"
         "  blindscan-compare --identify --sweep '0 950 2150 1000 45000 0 1' scan.txt\n"
         "\n" +
         kit::filled(
             "Exit status: 0 when every listed transponder is found or its miss explained and no finding is "
             "a "
             "fault, 1 when one was in range and not found or a finding is a fault (an installation fault, "
             "wrong-lnb; with --identify, 0), {bad input} when the command line, the list or a report is "
             "wrong.",
             {{"{bad input}", std::to_string(kit::bad_input_status)}});
}

// What the options given say of one another.
kit::result<void> check_modes(const compare_options& chosen) {
  if (chosen.identify &&
      (chosen.satellite || chosen.list_file || chosen.dish || chosen.summary_only || chosen.tab_separated))
    return kit::failure{
        "--identify tries every published list through every LNB: give it no --satellite, "
        "--list, --lnb, --summary or --tsv"};
  if (chosen.identify) return {};
  if (chosen.satellite.has_value() == chosen.list_file.has_value())
    return kit::failure{"give the list: --satellite NAME or --list FILE, one of them"};
  if (chosen.summary_only && chosen.tab_separated)
    return kit::failure{"--summary and --tsv exclude each other"};
  return {};
}

// The LNB types a ranking could not try because the report's runs are not
// told apart, said on standard error with why: through them, which sweep
// gave a line matters.  (An LNB that cannot have delivered a line of runs
// told apart is simply not the dish's.)
void say_untried(const kit::placed_report& report, const std::vector<kit::lnb>& dishes) {
  if (kit::runs_told(report)) return;
  std::string untried;
  for (const kit::lnb& dish : dishes)
    if (!kit::through(report, dish)) untried += (untried.empty() ? "" : ", ") + dish.name;
  if (!untried.empty()) warnx("not ranked through %s: %s", untried.c_str(), report.untold.c_str());
}

// The best fits, one a line, or why there is none.
kit::result<int> identify(const kit::placed_report& report) {
  const auto lists = published_lists(kit::published_lists_directory);
  if (!lists) return kit::failure{lists.error()};
  const std::vector<kit::lnb> dishes = candidate_lnbs();
  const std::vector<ranked_fit> fits = rank_fits(*lists, dishes, report);
  say_untried(report, dishes);
  std::string output;
  for (size_t i = 0; i < fits.size() && i < fits_shown && fits[i].counts.matched > 0; ++i)
    output += fit_line(fits[i].list->name, fits[i].dish->name, fits[i].counts);
  if (output.empty())
    output = "no published list holds any of the " +
             std::to_string(kit::distinct_carriers(report.carriers).size()) + " reported carriers\n";
  const kit::result<void> written = write_output("-", output);
  if (!written) return kit::failure{written.error()};
  return 0;
}

// Says on standard error when another published list or LNB fits the report
// clearly better than the one given; where the lists cannot be read, says
// that instead (the comparison stands on its own).
void suggest_better_fit(std::string_view list_name, const fit& given, const kit::lnb& dish,
                        const kit::placed_report& report) {
  // No fit matches more carriers than the report has lines.
  const fit best_possible{report.carriers.size(), report.carriers.size(), 0};
  if (!fits_clearly_better(best_possible, given)) return;
  const auto lists = published_lists(kit::published_lists_directory);
  if (!lists) {
    warnx("cannot look for a published list that fits better: %s", lists.error().c_str());
    return;
  }
  const std::vector<kit::lnb> dishes = candidate_lnbs();
  for (const ranked_fit& other : rank_fits(*lists, dishes, report)) {
    if (!fits_clearly_better(other.counts, given)) break;
    // Another LNB for the same list is the comparison's own finding.
    if (other.list->name == list_name) continue;
    const std::string better = other.list->name + " through " + other.dish->name +
                               " fits better: " + std::to_string(other.counts.matched) + " of " +
                               std::to_string(other.counts.reported) +
                               " reported carriers matched, against " + std::to_string(given.matched) +
                               " in " + std::string(list_name) + " through " + dish.name;
    warnx("%s", better.c_str());
    return;
  }
}

// The list the options name: a satellite's published list, or a file.
kit::result<std::vector<kit::transponder>> read_list(const compare_options& chosen) {
  if (chosen.satellite) return kit::read_satellite(kit::published_lists_directory, *chosen.satellite);
  return kit::read_sky(*chosen.list_file, "a transponder list");
}

// The comparison of the report with the list the options name, printed;
// its status.
kit::result<int> compare_with_list(const compare_options& chosen, const std::vector<kit::transponder>& list,
                                   const kit::placed_report& report) {
  const std::string list_name = chosen.satellite.value_or(chosen.list_file.value_or(""));
  const kit::lnb dish = chosen.dish.value_or(kit::tool_bands());
  const auto downlinks = kit::through(report, dish);
  if (!downlinks) return kit::failure{downlinks.error()};
  const comparison compared = compare(list, *downlinks, dish);
  suggest_better_fit(list_name, fit_of(list, *downlinks, dish), dish, report);
  std::string output;
  if (chosen.tab_separated) {
    output = tab_separated_table(compared);
  } else {
    output = summary_line(list_name, compared);
    if (!chosen.summary_only) output += table(compared);
  }
  const kit::result<void> written = write_output("-", output);
  if (!written) return kit::failure{written.error()};
  return exit_status(compared);
}

kit::result<int> run(int argc, char** argv) {
  compare_options chosen;
  const kit::result<command_line_read> line = read_command_line(option_table, argc, argv, chosen, usage);
  if (!line) return kit::failure{line.error()};
  if (line->status) return *line->status;
  if (const kit::result<void> modes = check_modes(chosen); !modes) return kit::failure{modes.error()};
  // The list is read first: a wrong name is said before the reports are read.
  kit::result<std::vector<kit::transponder>> list = std::vector<kit::transponder>{};
  if (!chosen.identify) list = read_list(chosen);
  if (!list) return kit::failure{list.error()};
  const kit::result<kit::placed_report> report =
      read_placed(line->operands, chosen.unit, chosen.identify, chosen.sweeps);
  if (!report) return kit::failure{report.error()};
  return chosen.identify ? identify(*report) : compare_with_list(chosen, *list, *report);
}

}  // namespace

}  // namespace blindscan::after_scan

int main(int argc, char** argv) {
  return blindscan::kit::run_command(argc, argv, blindscan::after_scan::run);
}
