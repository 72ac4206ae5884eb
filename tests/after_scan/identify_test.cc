#include "after_scan/identify.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace blindscan::after_scan {
namespace {

constexpr auto dvb_s = device::delivery_system::dvb_s;

kit::reported_carrier reported(uint32_t khz) {
  return {false, khz, 27'500'000, dvb_s, "AUTO", "ON", "AUTO", "QPSK", "35", 0, 0, -1, khz};
}

// Lists that match the report alike rank by the fewest listed carriers in
// range left unmatched, then in the order given; more matched ranks first.
TEST(RankFits, MostMatchedFirstThenFewestLeftUnmatched) {
  const std::vector<published_list> lists = {
      {"two matched, one left",
       {{11000000, false, 27500, dvb_s}, {11100000, false, 27500, dvb_s}, {11200000, false, 27500, dvb_s}}},
      {"one matched", {{11000000, false, 27500, dvb_s}}},
      {"two matched, none left", {{11000000, false, 27500, dvb_s}, {11100000, false, 27500, dvb_s}}},
      {"two matched, none left, later", {{11000000, false, 27500, dvb_s}, {11100000, false, 27500, dvb_s}}},
  };
  const std::vector<kit::lnb> dishes = {kit::tool_bands()};
  const kit::placed_report report =
      kit::place_runs({{"report", {{reported(11000000), reported(11100000)}, 0}}}, kit::whole_sweeps());
  std::vector<std::string> ranked;
  for (const ranked_fit& fit : rank_fits(lists, dishes, report)) ranked.push_back(fit.list->name);
  EXPECT_EQ(ranked, (std::vector<std::string>{"two matched, none left", "two matched, none left, later",
                                              "two matched, one left", "one matched"}));
}

// Half again as many carriers, and clearly_more_carriers more, both at
// least: a clearly better fit.
TEST(FitsClearlyBetter, NeedsHalfAgainAndEnoughMore) {
  const struct {
    size_t found, given;
    bool better;
  } rows[] = {{15, 10, true}, {14, 10, false}, {12, 8, false}, {13, 8, true}, {5, 0, true}, {4, 0, false}};
  for (const auto& row : rows)
    EXPECT_EQ(fits_clearly_better({row.found, 20, 0}, {row.given, 20, 0}), row.better)
        << row.found << " against " << row.given;
}

}  // namespace
}  // namespace blindscan::after_scan
