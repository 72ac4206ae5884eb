// blindscan-compare: mivo_blindscan's report lines checked against a
// satellite's published transponder list.
#include <err.h>
#include <getopt.h>

#include <optional>
#include <string>
#include <vector>

#include "after_scan/command_line.h"
#include "after_scan/comparison.h"
#include "after_scan/identify.h"
#include "kit/command.h"
#include "kit/read_file.h"
#include "kit/report_runs.h"
#include "kit/sky_file.h"

namespace blindscan::after_scan {

namespace {

constexpr char usage_head[] =
    "Usage: blindscan-compare (--satellite NAME | --list FILE) [--sweep ARGS]...\n"
    "                         [--lnb LNB] [--symbol-unit UNIT] [--summary] [--tsv]\n"
    "                         [REPORT...]\n"
    "   or: blindscan-compare --identify [--sweep ARGS]... [--symbol-unit UNIT]\n"
    "                         [REPORT...]\n"
    "\n"
    "Checks mivo_blindscan's report lines, read from each REPORT (none or '-':\n"
    "standard input), against a published transponder list, given the sweeps\n"
    "that made them.  Each listed transponder is found (with the reported\n"
    "carrier's frequency and symbol-rate offsets) or missed, and why: out of\n"
    "range (no sweep of its polarisation reached its frequency; the band that\n"
    "would is named), symbol rate out of range, record cap (each sweep that\n"
    "reached it reported 120 carriers below it first), sweep ended early (the\n"
    "lines of each sweep that reached it end below it, at the 120 records'\n"
    "cap or with two listed carriers or more beyond the last: a cut-short read\n"
    "or an interrupted scan, which a replay of its trace shows), or in range\n"
    "and not found: the dish, the cable or the driver.  Sweeps are told apart\n"
    "where the report holds one run of the tool, one 'open path' line, per\n"
    "sweep, in their order.  Each reported carrier that is none of the listed\n"
    "ones is an extra: unpublished, off a listed carrier's frequency, or\n"
    "outside every sweep given.  What a sweep reaches is what the driver\n"
    "stand-in's blind search finds in the list.\n"
    "\n"
    "A reported carrier is a listed one when it has the same polarisation and\n"
    "both its frequency and its symbol rate lie within a quarter of the listed\n"
    "symbol rate of the listed values: 6875 kHz and 6875 kSym/s at 27500 kSym/s.\n"
    "Where another published list, or another LNB, matches clearly more of the\n"
    "report's carriers (half again as many, and ";
constexpr char usage_options[] =
    " more), standard error says so.\n"
    "\n"
    "  --satellite NAME      the list of NAME in ";
constexpr char usage_middle[] =
    " (package\n"
    "                        dtv-scan-tables; ls that directory for the names)\n"
    "  --list FILE           the list in FILE: a DVBv5 channel file, or the\n"
    "                        driver stand-in's sky file\n";
constexpr char usage_summary[] =
    "  --identify            rank every published list through every LNB type\n"
    "                        (and the oscillators the report adds) by how many\n"
    "                        reported carriers each matches (then by the fewest\n"
    "                        listed in range left unmatched), and print the\n"
    "                        best ";
constexpr char usage_identify[] =
    ", one a line: 'NAME through LNB: M of R\n"
    "                        reported matched, L listed in range'; with neither\n"
    "                        --satellite, --list nor --lnb\n"
    "  --summary             print the summary line alone\n"
    "  --tsv                 print the table as tab-separated values (below),\n"
    "                        without the summary line (not with --summary)\n";
constexpr char usage_tail[] =
    "\n"
    "The output is a summary line, then one line per listed transponder and\n"
    "per extra carrier in ascending frequency.  With --tsv it is, for programs,\n"
    "the header line\n";
constexpr char usage_tsv[] =
    "and then the same lines in the same order: found, missed or extra; H or V;\n"
    "the listed frequency in kHz (an extra's as reported); the symbol rate in\n"
    "symbols per second; DVB-S or DVB-S2; the detail, as the table gives it.\n"
    "\n"
    "Example:\n"
    "  mivo_blindscan 0 950 2150 1000 45000 0 1 >scan.txt\n"
    "  blindscan-compare --satellite Astra-19.2E --sweep '0 950 2150 1000 45000 0 1' scan.txt\n"
    "  blindscan-compare --identify --sweep '0 950 2150 1000 45000 0 1' scan.txt\n"
    "\n"
    "Exit status: 0 when every listed transponder is found or its miss explained,\n"
    "1 when one was in range and not found (with --identify, 0), 2 when the\n"
    "command line, the list or a report is wrong.\n";

// How many of the best fits --identify prints.
constexpr size_t fits_shown = 5;

// The best fits, one a line, or why there is none.
kit::result<int> identify(const kit::placed_report& report) {
  const auto lists = published_lists(kit::published_lists_directory);
  if (!lists) return kit::failure{lists.error()};
  const std::vector<kit::lnb> dishes = candidate_lnbs();
  const std::vector<ranked_fit> fits = rank_fits(*lists, dishes, report);
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
    if (other.list->name == list_name && other.dish->name == dish.name) continue;
    const std::string better = other.list->name + " through " + other.dish->name +
                               " fits better: " + std::to_string(other.counts.matched) + " of " +
                               std::to_string(other.counts.reported) +
                               " reported carriers matched, against " + std::to_string(given.matched) +
                               " in " + std::string(list_name) + " through " + dish.name;
    warnx("%s", better.c_str());
    return;
  }
}

kit::result<int> run(int argc, char** argv) {
  constexpr struct option options[] = {{"satellite", required_argument, nullptr, 's'},
                                       {"list", required_argument, nullptr, 'l'},
                                       sweep_option,
                                       lnb_option,
                                       symbol_unit_option,
                                       {"summary", no_argument, nullptr, 'S'},
                                       {"tsv", no_argument, nullptr, 't'},
                                       {"identify", no_argument, nullptr, 'i'},
                                       help_option,
                                       {nullptr, 0, nullptr, 0}};
  std::optional<std::string> satellite, list_file;
  std::vector<sweep> sweeps;
  std::optional<kit::lnb> dish;
  kit::symbol_unit unit = kit::symbol_unit::ksym;
  bool summary_only = false;
  bool tab_separated = false;
  bool ranking = false;
  for (int id = 0; (id = getopt_long(argc, argv, "", options, nullptr)) != -1;) {
    const kit::result<bool> taken = dish_option(id, sweeps, dish);
    if (!taken) return kit::failure{taken.error()};
    if (*taken) continue;
    if (id == 's') {
      satellite = optarg;
    } else if (id == 'l') {
      list_file = optarg;
    } else if (id == 'S') {
      summary_only = true;
    } else if (id == 't') {
      tab_separated = true;
    } else if (id == 'i') {
      ranking = true;
    } else if (auto end = shared_option(id, unit,
                                        usage_head + std::to_string(clearly_more_carriers) + usage_options +
                                            std::string(kit::published_lists_directory) + usage_middle +
                                            std::string(sweep_options_help) + usage_summary +
                                            std::to_string(fits_shown) + usage_identify +
                                            std::string(shared_options_help) + usage_tail +
                                            shown_header(comparison_tsv_header) + usage_tsv)) {
      return *end;
    }
  }
  if (ranking && (satellite || list_file || dish || summary_only || tab_separated))
    return kit::failure{
        "--identify tries every published list through every LNB: give it no --satellite, "
        "--list, --lnb, --summary or --tsv"};
  if (sweeps.empty()) sweeps = whole_sweeps();
  if (ranking) {
    const auto inputs =
        kit::read_report_inputs(std::vector<std::string>(argv + optind, argv + argc), unit, true);
    if (!inputs) return kit::failure{inputs.error()};
    return identify(kit::place_runs(*inputs, sweeps));
  }
  if (satellite.has_value() == list_file.has_value())
    return kit::failure{"give the list: --satellite NAME or --list FILE, one of them"};
  if (summary_only && tab_separated) return kit::failure{"--summary and --tsv exclude each other"};

  std::string path = list_file.value_or("");
  if (satellite) {
    const kit::result<std::string> published =
        kit::satellite_file(kit::published_lists_directory, *satellite);
    if (!published) return kit::failure{published.error()};
    path = *published;
  }
  const kit::result<std::string> text = kit::read_file(path, "a transponder list");
  if (!text) return kit::failure{text.error()};
  const auto list = kit::parse_sky(*text, path);
  if (!list) return kit::failure{list.error()};
  const auto inputs =
      kit::read_report_inputs(std::vector<std::string>(argv + optind, argv + argc), unit, false);
  if (!inputs) return kit::failure{inputs.error()};
  const kit::placed_report placed = kit::place_runs(*inputs, sweeps);
  const kit::lnb through_dish = dish.value_or(kit::tool_bands());
  const auto downlinks = kit::through(placed, through_dish);
  if (!downlinks) return kit::failure{downlinks.error()};
  const comparison compared = compare(*list, *downlinks, through_dish);
  const fit given = fit_of(*list, *downlinks, through_dish);
  suggest_better_fit(satellite.value_or(path), given, through_dish, placed);
  std::string output;
  if (tab_separated) {
    output = tab_separated_table(compared);
  } else {
    output = summary_line(satellite.value_or(path), compared);
    if (!summary_only) output += table(compared);
  }
  const kit::result<void> written = write_output("-", output);
  if (!written) return kit::failure{written.error()};
  return exit_status(compared);
}

}  // namespace

}  // namespace blindscan::after_scan

int main(int argc, char** argv) {
  return blindscan::kit::run_command(argc, argv, blindscan::after_scan::run);
}
