#include "after_scan/identify.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "after_scan/matching.h"
#include "after_scan/oscillators.h"
#include "kit/read_file.h"
#include "kit/sky_file.h"

namespace blindscan::after_scan {

using kit::failure;

namespace {

// The downlinks, kHz, a list spans, or a dish takes.
struct span {
  uint32_t lowest;
  uint32_t highest;
};

span list_span(const std::vector<kit::transponder>& list) {
  span covered{UINT32_MAX, 0};
  for (const kit::transponder& t : list)
    covered = {std::min(covered.lowest, t.downlink_khz), std::max(covered.highest, t.downlink_khz)};
  return covered;
}

bool meets(const kit::lnb& dish, span listed) {
  return std::any_of(dish.paths.begin(), dish.paths.end(), [&](const kit::lnb_path& path) {
    return path.lowest_khz <= listed.highest && path.highest_khz >= listed.lowest;
  });
}

// How well a fit explains both the report and the list: each carrier matched
// counts twice, each reported carrier the list lacks and each listed one in
// range left unmatched once against it.  Through an LNB that splits a band's
// lines into more distinct carriers, or a list that holds many in range,
// chance matches do not outrank the list that holds the report.
int64_t score(const fit& counts) {
  const auto matched = static_cast<int64_t>(counts.matched);
  return 2 * matched - (static_cast<int64_t>(counts.reported) - matched) -
         (static_cast<int64_t>(counts.in_range) - std::min(static_cast<int64_t>(counts.in_range), matched));
}

}  // namespace

kit::result<std::vector<published_list>> published_lists(std::string_view directory) {
  const std::string where(directory);
  if (std::optional<failure> missing = kit::missing_lists(directory)) return *missing;
  std::error_code error;
  std::filesystem::directory_iterator folder(where, error);
  if (error) return failure{where + ": cannot be read: " + error.message()};
  std::vector<std::string> names;
  for (const std::filesystem::directory_entry& entry : folder) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  std::vector<published_list> lists;
  for (const std::string& name : names) {
    std::string path = where + "/";
    path += name;
    auto parsed = kit::read_sky(path, "a published list");
    if (!parsed) return failure{parsed.error()};
    lists.push_back({name, std::move(*parsed)});
  }
  return lists;
}

std::vector<kit::lnb> candidate_lnbs() {
  std::vector<kit::lnb> dishes{kit::tool_bands()};
  for (const kit::lnb& known : kit::known_lnbs())
    if (std::none_of(dishes.begin(), dishes.end(), [&](const kit::lnb& d) { return d.name == known.name; }))
      dishes.push_back(known);
  return dishes;
}

std::vector<ranked_fit> rank_fits(const std::vector<published_list>& lists,
                                  const std::vector<kit::lnb>& dishes, const kit::placed_report& report) {
  std::vector<span> spans;
  spans.reserve(lists.size());
  for (const published_list& list : lists) spans.push_back(list_span(list.transponders));
  std::vector<ranked_fit> fits;
  for (const kit::lnb& dish : dishes) {
    const kit::result<kit::placed_report> downlinks = kit::through(report, dish);
    if (!downlinks) continue;
    for (size_t i = 0; i < lists.size(); ++i)
      if (!lists[i].transponders.empty() && meets(dish, spans[i]))
        fits.push_back({&lists[i], &dish, fit_of(lists[i].transponders, *downlinks, dish)});
  }
  std::stable_sort(fits.begin(), fits.end(), [](const ranked_fit& a, const ranked_fit& b) {
    return score(a.counts) > score(b.counts);
  });
  return fits;
}

fit fit_of(const std::vector<kit::transponder>& list, const kit::placed_report& report,
           const kit::lnb& dish) {
  const listed_by_frequency index(list);
  const std::vector<kit::reported_carrier> as_reported = kit::distinct_carriers(report.carriers);
  const std::vector<kit::reported_carrier> carriers =
      kit::distinct_carriers(corrected(as_reported, measure_oscillators(index, as_reported, dish)));
  const std::vector<std::optional<size_t>> found = pair_up(carriers, list, index);
  size_t matched = 0;
  size_t in_range = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    matched += found[i] ? 1 : 0;
    // A carrier matched is in range, whatever the LNB's stated range says.
    if (found[i] || std::any_of(report.sweeps.begin(), report.sweeps.end(),
                                [&](const sweep& s) { return reaches(list[i], s.request, dish); }))
      ++in_range;
  }
  return {matched, carriers.size(), in_range};
}

list_check check_against_lists(const kit::placed_report& report, const kit::lnb& dish) {
  list_check checked;
  const kit::result<std::vector<published_list>> lists = published_lists(kit::published_lists_directory);
  if (!lists) {
    checked.unread = lists.error();
    return checked;
  }
  std::vector<kit::lnb> dishes{dish};
  for (const kit::lnb& known : candidate_lnbs())
    if (kit::lnb_name(known) != kit::lnb_name(dish)) dishes.push_back(known);
  const auto named = [](const ranked_fit& ranked) {
    return named_fit{ranked.list->name, kit::lnb_name(*ranked.dish), ranked.counts,
                     ranked.list->transponders};
  };
  for (const ranked_fit& ranked : rank_fits(*lists, dishes, report)) {
    std::optional<named_fit>& kept = ranked.dish == &dishes.front() ? checked.through_dish : checked.better;
    if (!kept) kept = named(ranked);
  }
  // The report is read through the dish given unless another LNB fits a
  // list clearly better.
  const fit given = checked.through_dish ? checked.through_dish->counts : fit{0, report.carriers.size(), 0};
  if (checked.better && !fits_clearly_better_through(checked.better->counts, given)) checked.better.reset();
  return checked;
}

std::string fit_line(std::string_view list_name, std::string_view lnb_name, const fit& counts) {
  return std::string(list_name) + " through " + std::string(lnb_name) + ": " +
         std::to_string(counts.matched) + " of " + std::to_string(counts.reported) + " reported matched, " +
         std::to_string(counts.in_range) + " listed in range\n";
}

bool fits_clearly_better_through(const fit& found, const fit& given) {
  if (fits_clearly_better(found, given)) return true;
  return found.matched >= clearly_more_carriers && found.matched * 2 > found.reported &&
         found.matched * given.reported * 2 >= given.matched * found.reported * 3;
}

bool fits_clearly_better(const fit& found, const fit& given) {
  return found.matched * 2 >= given.matched * 3 && found.matched >= given.matched + clearly_more_carriers;
}

}  // namespace blindscan::after_scan
