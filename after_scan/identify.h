// Which published list, through which LNB, a report fits best: every list
// tried through every LNB type, each ranked by the carriers it matches.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "after_scan/comparison.h"
#include "kit/lnb.h"
#include "kit/report_runs.h"
#include "kit/result.h"
#include "kit/transponder.h"

namespace blindscan::after_scan {

struct published_list {
  std::string name;
  std::vector<kit::transponder> transponders;
};

// Every list in directory, by name; a failure names the list that cannot be
// read, or says the directory is missing.
kit::result<std::vector<published_list>> published_lists(std::string_view directory);

// The LNBs a report is tried through: the tool's own bands first, then each
// known type once.
std::vector<kit::lnb> candidate_lnbs();

// How well a report fits a list through a dish: of the report's distinct
// carriers (downlinks through dish, each oscillator's offset measured and
// corrected), how many are listed ones, paired as compare pairs them, and
// how many listed transponders the sweeps reach or a carrier matches.
struct fit {
  size_t matched;
  size_t reported;
  size_t in_range;
};
fit fit_of(const std::vector<kit::transponder>& list, const kit::placed_report& report, const kit::lnb& dish);

struct ranked_fit {
  const published_list* list;
  const kit::lnb* dish;
  fit counts;
};

// Each list through each dish, the best fit first: the most carriers matched
// (each oscillator measured and corrected), less the reported carriers the
// list lacks and the listed ones in range left unmatched, each matched
// carrier weighing twice; then the order given.  The
// report's lines are brought to their downlinks once per dish; a dish that
// cannot have delivered one of them, or through which a line's downlink
// cannot be told, or whose band never meets a list's, is not ranked for it.
std::vector<ranked_fit> rank_fits(const std::vector<published_list>& lists,
                                  const std::vector<kit::lnb>& dishes, const kit::placed_report& report);

// A report checked against the published lists, for the commands that write
// what a scan found without a list to compare it with: the list it fits
// best through the dish given, and another LNB through which it fits a list
// clearly better, where one does.
struct named_fit {
  std::string list;
  std::string dish;
  fit counts;
  std::vector<kit::transponder> transponders;  // the list's
};
struct list_check {
  std::string unread;  // why the lists could not be read; empty where they were
  std::optional<named_fit> through_dish;
  std::optional<named_fit> better;
};
list_check check_against_lists(const kit::placed_report& report, const kit::lnb& dish);

// "NAME through LNB: M of R reported matched, L listed in range".
std::string fit_line(std::string_view list_name, std::string_view lnb_name, const fit& counts);

// Whether found fits clearly better than given: half again as many carriers
// matched, and at least clearly_more_carriers more.
inline constexpr size_t clearly_more_carriers = 5;
bool fits_clearly_better(const fit& found, const fit& given);

// Whether found, through another LNB, fits clearly better than given: as
// above, or with half again the share of its reported carriers matched, and
// most of them.  Through another LNB the report's lines may be fewer
// distinct carriers (an LNB whose one oscillator serves both bands brings
// both bands' lines to one downlink), so the shares are compared.
bool fits_clearly_better_through(const fit& found, const fit& given);

}  // namespace blindscan::after_scan
