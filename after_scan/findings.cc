#include "after_scan/findings.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>

#include "after_scan/identify.h"
#include "after_scan/matching.h"
#include "kit/installation_faults.h"

namespace blindscan::after_scan {

using kit::transponder;

namespace {

// Whether an outcome is one no other reason explains yet.
bool unexplained(const listed_outcome& outcome) {
  return outcome.result == verdict::not_found || outcome.result == verdict::sweep_ended_early;
}

// The sweeps' arguments as a message lists them: 'a', 'b'.
std::string sweep_list(const std::vector<kit::sweep>& sweeps, const std::vector<size_t>& which) {
  std::string text;
  for (const size_t i : which) text += (text.empty() ? "'" : ", '") + sweeps[i].arguments + "'";
  return text;
}

// A listed transponder reached by a sweep as served: where the tuner sees
// it, and whether the sweep's own carriers hold it.
struct reach {
  size_t listed;
  size_t sweep;
  int64_t tuner_khz;
  bool found_there;
};

std::vector<reach> reaches_of(const comparing& state) {
  std::vector<reach> all;
  for (size_t s = 0; s < state.served.size(); ++s) {
    const device::blindscan_request& request = state.served[s].request;
    for (size_t l = 0; l < state.list.size(); ++l) {
      const transponder& listed = state.list[l];
      if (!reaches(listed, request, state.dish)) continue;
      const bool found =
          std::any_of(state.carriers.begin(), state.carriers.end(), [&](const kit::reported_carrier& c) {
            return c.sweep == static_cast<int>(s) && c.vertical == listed.vertical &&
                   matches_listed(c, listed);
          });
      all.push_back({l, s, tuner_khz(listed.downlink_khz, request, state.dish), found});
    }
  }
  return all;
}

bool sweeps_given(const kit::placed_report& report) {
  return std::any_of(report.sweeps.begin(), report.sweeps.end(), [](const kit::sweep& s) { return s.given; });
}

// Marks each listed transponder in which as missed for a finding's reason.
void explain(comparison& compared, const std::set<size_t>& which, verdict why, const std::string& detail) {
  for (const size_t l : which) {
    compared.listed[l].result = why;
    compared.listed[l].detail = detail;
  }
}

// The misses above one intermediate frequency, in two sweeps or more, with
// every carrier found below it: their listed indices and the frequency.
std::optional<std::pair<std::set<size_t>, int64_t>> lost_above(const comparing& state,
                                                               const comparison& compared) {
  if (!kit::runs_told(state.report)) return std::nullopt;
  const std::vector<reach> all = reaches_of(state);
  int64_t highest_found = INT64_MIN;
  size_t found = 0;
  for (const reach& r : all)
    if (r.found_there) {
      highest_found = std::max(highest_found, r.tuner_khz);
      ++found;
    }
  std::set<size_t> lost;
  std::set<size_t> sweeps;
  for (const reach& r : all)
    if (!r.found_there && r.tuner_khz > highest_found && unexplained(compared.listed[r.listed])) {
      lost.insert(r.listed);
      sweeps.insert(r.sweep);
    }
  if (found < fewest_showing || lost.size() < fewest_showing || sweeps.size() < 2) return std::nullopt;
  return std::pair{lost, highest_found};
}

// The misses of symbol rates below every rate found: their listed indices,
// the lowest rate found and the highest missed below it, kSym/s.
std::optional<std::pair<std::set<size_t>, std::pair<uint32_t, uint32_t>>> lost_below(
    const comparison& compared) {
  uint32_t lowest_found = UINT32_MAX;
  size_t found = 0;
  for (const listed_outcome& outcome : compared.listed)
    if (outcome.result == verdict::found) {
      lowest_found = std::min(lowest_found, outcome.listed.symbol_rate);
      ++found;
    }
  std::set<size_t> lost;
  uint32_t highest_lost = 0;
  for (size_t l = 0; l < compared.listed.size(); ++l)
    if (unexplained(compared.listed[l]) && compared.listed[l].listed.symbol_rate < lowest_found) {
      lost.insert(l);
      highest_lost = std::max(highest_lost, compared.listed[l].listed.symbol_rate);
    }
  if (found < fewest_showing || lost.size() < fewest_showing) return std::nullopt;
  return std::pair{lost, std::pair{lowest_found, highest_lost}};
}

std::string mhz_words(int64_t khz) {
  return kit::mhz_text(static_cast<uint32_t>(std::max<int64_t>(khz, 0))) + " MHz";
}

}  // namespace

void find_served_faults(const comparing& state, comparison& compared) {
  // The sweeps each fault served otherwise, and their carriers.
  for (const kit::installation_fault_type& type : kit::installation_fault_types) {
    std::vector<size_t> sweeps;
    size_t listed = 0;
    size_t asked = 0;
    std::string text;
    for (size_t s = 0; s < state.served.size(); ++s)
      for (const kit::installation_fault& fault : state.served[s].faults)
        if (fault.kind == type.kind) {
          sweeps.push_back(s);
          listed += state.served[s].matched_as_served;
          asked += state.served[s].matched_as_asked;
          text = kit::installation_fault_text(fault);
        }
    if (sweeps.empty()) continue;
    const bool by_absence =
        std::all_of(sweeps.begin(), sweeps.end(), [&](size_t s) { return state.served[s].by_absence; });
    if (by_absence) {
      // Nothing found is all that shows it: say what else would.
      compared.findings.push_back({type.id,
                                   std::string(type.seen) + " (" + text + "), it seems: sweep" +
                                       (sweeps.size() > 1 ? "s " : " ") +
                                       sweep_list(state.report.sweeps, sweeps) + " found none of the " +
                                       std::to_string(state.served[sweeps.front()].reached_listed) +
                                       " listed carriers they reach, as they would find none served so; or "
                                       "nothing of their band reaches "
                                       "the tuner (a dead band, a cable losing the upper frequencies)",
                                   true});
      continue;
    }
    compared.findings.push_back({type.id,
                                 std::string(type.seen) + " (" + text + "): " + std::to_string(listed) +
                                     " carriers of sweep" + (sweeps.size() > 1 ? "s " : " ") +
                                     sweep_list(state.report.sweeps, sweeps) + " are listed as served so, " +
                                     std::to_string(asked) + " as asked for",
                                 true});
  }
}

void find_skew(const comparing& state, comparison& compared) {
  std::vector<extra_carrier*> leaked;
  for (extra_carrier& extra : compared.extras) {
    kit::reported_carrier other = extra.carrier;
    other.vertical = !other.vertical;
    if (extra.carrier.sweep >= 0 && is_listed(other, state.index)) leaked.push_back(&extra);
  }
  if (leaked.size() < fewest_leaking) return;
  // A turned LNB's sweeps find their own polarisation's carriers besides:
  // those that only it lists.  Sweeps that find none of them, though some
  // lie in their reach, were served the other polarisation; where none lies
  // there, the two cannot be told apart.
  std::set<int> sweeps;
  for (const extra_carrier* extra : leaked) sweeps.insert(extra->carrier.sweep);
  size_t own = 0;
  size_t reachable = 0;
  for (const bool vertical : {false, true}) {
    const std::vector<kit::transponder> only = listed_only(state.list, state.index, vertical);
    const listed_by_frequency only_index(only);
    for (const kit::reported_carrier& carrier : state.carriers)
      own += carrier.vertical == vertical && sweeps.count(carrier.sweep) && is_listed(carrier, only_index);
    for (const kit::transponder& listed : only)
      reachable += std::any_of(sweeps.begin(), sweeps.end(), [&](int s) {
        const device::blindscan_request& request = state.served[static_cast<size_t>(s)].request;
        return (request.pol != 0) == vertical && reaches(listed, request, state.dish);
      });
  }
  if (own == 0 && reachable >= fewest_showing) return;
  const std::string alike = own == 0 ? "; the list holds no carrier of their own polarisation alone, which "
                                       "would tell this from a supply "
                                       "voltage stuck (pol-stuck)"
                                     : "";
  for (extra_carrier* extra : leaked)
    extra->detail = std::string("the other polarisation's carrier (") +
                    kit::polarisation_letter(!extra->carrier.vertical) + "), leaking in: skew";
  const kit::installation_fault_type& type = kit::type_of(kit::installation_fault_kind::skew);
  compared.findings.push_back({type.id,
                               std::string(type.seen) + ": " + std::to_string(leaked.size()) +
                                   " carriers found in one polarisation are listed in the other" + alike,
                               true});
}

void find_thresholds(const comparing& state, comparison& compared) {
  auto above = lost_above(state, compared);
  auto below = lost_below(compared);
  // Where both patterns show, the one that explains more.
  if (above && below) {
    if (above->first.size() >= below->first.size())
      below.reset();
    else
      above.reset();
  }
  const bool given = sweeps_given(state.report);
  // What the pattern shows is said, as the fault of kind or, where no sweep
  // is given, as the sweeps assumed, and explains each miss in lost.
  const auto say = [&](const std::set<size_t>& lost, kit::installation_fault_kind kind,
                       const std::string& what) {
    const kit::installation_fault_type& type = kit::type_of(kind);
    if (given) {
      compared.findings.push_back({type.id, std::string(type.seen) + ": " + what, true});
      explain(compared, lost, verdict::explained, std::string("explained: ") + type.id + ": " + what);
    } else {
      compared.findings.push_back(
          {"sweeps-assumed",
           "no --sweep is given, and " + what + ": the sweeps the scan was made with may not reach them",
           false});
      explain(compared, lost, verdict::sweeps_assumed, "sweeps assumed: " + what);
    }
  };
  if (above)
    say(above->first, kit::installation_fault_kind::cable_loss,
        "nothing above " + mhz_words(above->second) + " at the tuner was found (" +
            std::to_string(above->first.size()) + " listed carriers above it missed)");
  if (below)
    say(below->first, kit::installation_fault_kind::rate_floor,
        "nothing below " + std::to_string(below->second.first) + " kSym/s was found (" +
            std::to_string(below->first.size()) + " listed carriers missed, up to " +
            std::to_string(below->second.second) + " kSym/s)");
}

void find_stale_list(const comparing& state, comparison& compared) {
  const size_t unpublished =
      static_cast<size_t>(std::count_if(compared.extras.begin(), compared.extras.end(),
                                        [](const extra_carrier& e) { return e.detail == "unpublished"; }));
  if (unpublished == 0) return;
  // The listed transponders some sweep reaches, of each polarisation, by downlink.
  std::vector<size_t> reached;
  for (size_t l = 0; l < state.list.size(); ++l)
    if (std::any_of(state.served.begin(), state.served.end(),
                    [&](const served_sweep& s) { return reaches(state.list[l], s.request, state.dish); }))
      reached.push_back(l);
  std::set<size_t> missed;
  for (const size_t l : reached)
    if (compared.listed[l].result == verdict::not_found) missed.insert(l);
  if (missed.empty() || missed.size() * 100 > reached.size() * most_missed_of_a_stale_list_percent) return;
  std::sort(reached.begin(), reached.end(), [&](size_t a, size_t b) {
    return std::pair{state.list[a].vertical, state.list[a].downlink_khz} <
           std::pair{state.list[b].vertical, state.list[b].downlink_khz};
  });
  std::set<size_t> among_found;
  for (size_t at = 0; at < reached.size(); ++at) {
    if (!missed.count(reached[at])) continue;
    const auto neighbour_found = [&](size_t other) {
      return state.list[other].vertical != state.list[reached[at]].vertical ||
             compared.listed[other].result == verdict::found;
    };
    if ((at == 0 || neighbour_found(reached[at - 1])) &&
        (at + 1 == reached.size() || neighbour_found(reached[at + 1])))
      among_found.insert(reached[at]);
  }
  if (among_found.empty()) return;
  compared.findings.push_back({"list-out-of-date",
                               std::to_string(among_found.size()) +
                                   " listed carriers missed among found neighbours, and " +
                                   std::to_string(unpublished) +
                                   " carriers found that the list does not hold: the list may be out of date",
                               false});
  explain(compared, among_found, verdict::list_out_of_date,
          "not found among found neighbours: the list may be out of date");
}

void find_wrong_lnb(const comparing& state, comparison& compared) {
  if (state.list.empty()) return;
  const bool meets = std::any_of(state.list.begin(), state.list.end(), [&](const transponder& t) {
    return kit::takes(state.dish, t.downlink_khz);
  });
  const fit given = fit_of(state.list, state.report, state.dish);
  const kit::lnb* better = nullptr;
  fit best = given;
  const std::vector<kit::lnb> dishes = candidate_lnbs();
  for (const kit::lnb& other : dishes) {
    if (kit::lnb_name(other) == kit::lnb_name(state.dish)) continue;
    const kit::result<kit::placed_report> through = kit::through(state.report, other);
    if (!through) continue;
    const fit other_fit = fit_of(state.list, *through, other);
    if (fits_clearly_better_through(other_fit, given) && other_fit.matched > best.matched) {
      best = other_fit;
      better = &other;
    }
  }
  std::string text;
  if (better != nullptr)
    text = "the report fits the list through " + kit::lnb_name(*better) + " (" +
           std::to_string(best.matched) + " of " + std::to_string(best.reported) +
           " carriers listed) far better than through " + kit::lnb_name(state.dish) + " (" +
           std::to_string(given.matched) + "): give " +
           (better->name == kit::tool_bands().name ? std::string("no --lnb")
                                                   : "--lnb " + kit::lnb_name(*better));
  else if (!meets)
    text = "LNB " + kit::lnb_name(state.dish) +
           " takes none of the listed downlinks: its band and the list never meet";
  // An LNB whose band never meets the list is at fault where another fits
  // the report; with nothing else fitting, the report says nothing of it.
  if (!text.empty()) compared.findings.push_back({"wrong-lnb", text, better != nullptr});
}

}  // namespace blindscan::after_scan
