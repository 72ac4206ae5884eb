#include "after_scan/oscillators.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "after_scan/matching.h"

namespace blindscan::after_scan {

namespace {

// What selects the paths of an oscillator: the band where the tone does,
// the polarisation where the voltage does.
std::string oscillator_name(const kit::lnb& dish, uint32_t oscillator_khz) {
  std::vector<const kit::lnb_path*> paths;
  for (const kit::lnb_path& path : dish.paths)
    if (path.oscillator_khz == oscillator_khz) paths.push_back(&path);
  const auto all = [&](auto same) { return !paths.empty() && std::all_of(paths.begin(), paths.end(), same); };
  if (all([](const kit::lnb_path* p) { return p->band == kit::lnb_band::low; })) return "low band";
  if (all([](const kit::lnb_path* p) { return p->band == kit::lnb_band::high; })) return "high band";
  if (all([&](const kit::lnb_path* p) { return p->polarisation == paths.front()->polarisation; }) &&
      paths.front()->polarisation != kit::lnb_polarisation::either) {
    constexpr const char* polarisations[] = {"", "horizontal", "vertical", "left", "right"};
    return polarisations[static_cast<int>(paths.front()->polarisation)];
  }
  return kit::lnb_name(dish);
}

// One listed transponder a carrier may be, the offset it would give its
// oscillator, and how much it weighs.
struct vote {
  int64_t offset_khz;
  double weight;
  int64_t half_width_khz;  // how near another offset must be to agree
  size_t carrier;
  double rate;  // the carrier's symbol rate, kSym/s
};

// How near two carriers' offsets must lie to agree: their error of
// measurement, which grows with the symbol rate.
int64_t agreement_khz(uint64_t symbol_rate) {
  return std::clamp<int64_t>(static_cast<int64_t>(kit::tolerance_khz(symbol_rate) / 2), 100, 5000);
}

// The votes of the carriers of one oscillator: each carrier's listed
// transponders of its polarisation within the search and its symbol rate's
// tolerance, the carrier's weight (its rate: the wide ones decide) shared
// among them.
std::vector<vote> votes_of(const listed_by_frequency& list,
                           const std::vector<const kit::reported_carrier*>& carriers) {
  std::vector<vote> votes;
  for (size_t c = 0; c < carriers.size(); ++c) {
    const kit::reported_carrier& carrier = *carriers[c];
    std::vector<const kit::transponder*> candidates;
    for (const kit::transponder* listed :
         list.within(carrier.vertical, int64_t{carrier.downlink_khz} - offset_search_khz,
                     int64_t{carrier.downlink_khz} + offset_search_khz)) {
      const uint64_t rate = listed_rate(*listed);
      if (kit::distance(rate, carrier.symbol_rate) * kit::tolerance_parts <= rate)
        candidates.push_back(listed);
    }
    for (const kit::transponder* listed : candidates)
      votes.push_back(
          {int64_t{listed->downlink_khz} - carrier.downlink_khz,
           static_cast<double>(carrier.symbol_rate) / 1000 / static_cast<double>(candidates.size()),
           agreement_khz(carrier.symbol_rate), c, static_cast<double>(carrier.symbol_rate) / 1000});
  }
  return votes;
}

// The offset most votes agree on: where the most weight of votes, each
// spread over its width, falls.
int64_t densest_offset(const std::vector<vote>& votes) {
  std::vector<std::pair<int64_t, double>> edges;
  for (const vote& v : votes) {
    edges.emplace_back(v.offset_khz - v.half_width_khz, v.weight);
    edges.emplace_back(v.offset_khz + v.half_width_khz, -v.weight);
  }
  // At one place a vote begins before another ends.
  std::sort(edges.begin(), edges.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second > b.second;
  });
  double weight = 0;
  double best = -1;
  int64_t best_from = 0;
  int64_t best_to = 0;
  for (size_t i = 0; i < edges.size(); ++i) {
    weight += edges[i].second;
    if (weight > best + 1e-9 && i + 1 < edges.size()) {
      best = weight;
      best_from = edges[i].first;
      best_to = edges[i + 1].first;
    }
  }
  return (best_from + best_to) / 2;
}

// The offset of the votes nearest to around, one per carrier, that agree
// with it; and how many carriers gave one.
std::pair<int64_t, size_t> agreed_offset(const std::vector<vote>& votes, int64_t around, size_t carriers) {
  std::vector<const vote*> nearest(carriers, nullptr);
  for (const vote& v : votes) {
    const int64_t off = std::llabs(v.offset_khz - around);
    if (off > v.half_width_khz) continue;
    const vote*& kept = nearest[v.carrier];
    if (kept == nullptr || off < std::llabs(kept->offset_khz - around)) kept = &v;
  }
  std::vector<std::pair<int64_t, double>> agreeing;
  for (const vote* v : nearest)
    if (v != nullptr) agreeing.emplace_back(v->offset_khz, v->rate);
  if (agreeing.empty()) return {0, 0};
  // The mean of the middle half: each carrier's error of measurement
  // averages out, and the few that picked a neighbour do not pull it.
  std::sort(agreeing.begin(), agreeing.end());
  const size_t quarter = agreeing.size() / 4;
  int64_t sum = 0;
  for (size_t i = quarter; i < agreeing.size() - quarter; ++i) sum += agreeing[i].first;
  const int64_t mean = sum / static_cast<int64_t>(agreeing.size() - 2 * quarter);
  // An offset the carriers' own errors could make is none: within three
  // standard errors of nothing.
  double squares = 0;
  for (const auto& [offset, rate] : agreeing)
    squares += static_cast<double>((offset - mean) * (offset - mean));
  const double standard_error = std::sqrt(squares / static_cast<double>(agreeing.size())) /
                                std::sqrt(static_cast<double>(agreeing.size()));
  if (static_cast<double>(std::llabs(mean)) <= 3 * standard_error) return {0, agreeing.size()};
  return {mean, agreeing.size()};
}

// How many of carriers are listed with their downlinks moved by offset_khz.
size_t listed_count(const listed_by_frequency& list,
                    const std::vector<const kit::reported_carrier*>& carriers, int32_t offset_khz) {
  return static_cast<size_t>(
      std::count_if(carriers.begin(), carriers.end(), [&](const kit::reported_carrier* c) {
        kit::reported_carrier moved = *c;
        moved.downlink_khz = static_cast<uint32_t>(int64_t{c->downlink_khz} + offset_khz);
        return is_listed(moved, list);
      }));
}

int32_t to_step(int64_t khz) {
  const int64_t steps = (std::llabs(khz) + offset_step_khz / 2) / offset_step_khz;
  return static_cast<int32_t>((khz < 0 ? -steps : steps) * offset_step_khz);
}

std::string mhz_tenths(int64_t khz) {
  char text[32];
  (void)std::snprintf(text, sizeof text, "%.1f", static_cast<double>(khz) / 1000);
  return text;
}

}  // namespace

listed_by_frequency::listed_by_frequency(const std::vector<kit::transponder>& list) {
  for (const kit::transponder& listed : list) by_polarisation_[listed.vertical ? 1 : 0].push_back(&listed);
  for (auto& listed : by_polarisation_)
    std::sort(listed.begin(), listed.end(), [](const kit::transponder* a, const kit::transponder* b) {
      return a->downlink_khz < b->downlink_khz;
    });
}

std::vector<const kit::transponder*> listed_by_frequency::within(bool vertical, int64_t lowest_khz,
                                                                 int64_t highest_khz) const {
  const std::vector<const kit::transponder*>& listed = by_polarisation_[vertical ? 1 : 0];
  const auto first =
      std::lower_bound(listed.begin(), listed.end(), lowest_khz,
                       [](const kit::transponder* t, int64_t khz) { return t->downlink_khz < khz; });
  const auto last =
      std::upper_bound(first, listed.end(), highest_khz,
                       [](int64_t khz, const kit::transponder* t) { return khz < t->downlink_khz; });
  return {first, last};
}

std::vector<oscillator_measure> measure_oscillators(const listed_by_frequency& list,
                                                    const std::vector<kit::reported_carrier>& carriers,
                                                    const kit::lnb& dish) {
  std::vector<uint32_t> oscillators;
  for (const kit::reported_carrier& carrier : carriers)
    if (carrier.oscillator_khz != 0 &&
        std::find(oscillators.begin(), oscillators.end(), carrier.oscillator_khz) == oscillators.end())
      oscillators.push_back(carrier.oscillator_khz);
  std::sort(oscillators.begin(), oscillators.end());
  std::vector<oscillator_measure> measures;
  for (const uint32_t oscillator : oscillators) {
    std::vector<const kit::reported_carrier*> its;
    for (const kit::reported_carrier& carrier : carriers)
      if (carrier.oscillator_khz == oscillator) its.push_back(&carrier);
    const std::vector<vote> votes = votes_of(list, its);
    oscillator_measure measure{oscillator, oscillator_name(dish, oscillator), std::nullopt, 0};
    if (!votes.empty()) {
      const auto [offset, agreeing] = agreed_offset(votes, densest_offset(votes), its.size());
      measure.carriers = agreeing;
      if (agreeing >= fewest_measuring_carriers) measure.offset_khz = to_step(offset);
      // An offset is taken only where it matches no fewer carriers than none does.
      if (measure.offset_khz.value_or(0) != 0 &&
          listed_count(list, its, *measure.offset_khz) < listed_count(list, its, 0))
        measure.offset_khz = 0;
    }
    measures.push_back(measure);
  }
  return measures;
}

int32_t offset_of(const std::vector<oscillator_measure>& measures, uint32_t oscillator_khz) {
  for (const oscillator_measure& measure : measures)
    if (measure.nominal_khz == oscillator_khz) return measure.offset_khz.value_or(0);
  return 0;
}

std::vector<kit::reported_carrier> corrected(std::vector<kit::reported_carrier> carriers,
                                             const std::vector<oscillator_measure>& measures) {
  for (kit::reported_carrier& carrier : carriers)
    carrier.downlink_khz =
        static_cast<uint32_t>(int64_t{carrier.downlink_khz} + offset_of(measures, carrier.oscillator_khz));
  return carriers;
}

std::string measure_words(const oscillator_measure& measure) {
  const std::string nominal = kit::mhz_text(measure.nominal_khz);
  if (!measure.offset_khz)
    return measure.name + " " + nominal + " MHz as nominal: too few carriers to measure it (" +
           std::to_string(measure.carriers) + " agree)";
  const int32_t offset = *measure.offset_khz;
  std::string words = measure.name + " " + mhz_tenths(int64_t{measure.nominal_khz} + offset) + " MHz, ";
  words += offset == 0
               ? "as nominal"
               : mhz_tenths(std::abs(offset)) + (offset > 0 ? " above" : " below") + " nominal " + nominal;
  return words + " (from " + std::to_string(measure.carriers) + " carriers)";
}

}  // namespace blindscan::after_scan
