#include "after_scan/comparison.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace blindscan::after_scan {
namespace {

using kit::transponder;
constexpr auto dvb_s = device::delivery_system::dvb_s;

kit::reported_carrier reported(uint32_t khz, uint64_t ksym) {
  return {false, khz, ksym * 1000, dvb_s, "AUTO", "ON", "AUTO", "QPSK", "35", 0, 0, -1, khz};
}

// The carriers as a file holds them: each run's lines, then its "open path"
// line; with no run, the lines alone, as one bare input.
kit::placed_report placed(const std::vector<std::vector<kit::reported_carrier>>& runs,
                          const std::vector<sweep>& sweeps) {
  kit::scan_report read;
  for (const std::vector<kit::reported_carrier>& run : runs) {
    for (kit::reported_carrier carrier : run) {
      carrier.run = read.open_paths;
      read.carriers.push_back(carrier);
    }
    ++read.open_paths;
  }
  return *kit::through(kit::place_runs({{"report", read}}, sweeps), kit::tool_bands());
}

kit::placed_report bare(const std::vector<kit::reported_carrier>& carriers,
                        const std::vector<sweep>& sweeps) {
  return *kit::through(kit::place_runs({{"report", {carriers, 0}}}, sweeps), kit::tool_bands());
}

// One sweep of the low band, horizontal, and a list that gives each reason
// to miss a carrier once; the cap is filled by 118 narrow carriers reported
// between the one not found and the one beyond the cap.
TEST(Comparison, EachListedCarrierIsFoundOrMissedForItsReason) {
  std::vector<transponder> list = {{11000000, false, 27500, dvb_s}, {11000000, true, 27500, dvb_s},
                                   {12500000, false, 27500, dvb_s}, {3700000, false, 27500, dvb_s},
                                   {11100000, false, 500, dvb_s},   {11200000, false, 27500, dvb_s},
                                   {11400000, false, 27500, dvb_s}};
  // Beside the carrier found: one within half its occupied bandwidth (rate x
  // 1.35) of it, one beyond.
  std::vector<kit::reported_carrier> report = {reported(11000500, 27400), reported(11015000, 27500),
                                               reported(10975000, 27500), reported(11500000, 27500),
                                               reported(10600000, 27500)};
  for (uint32_t i = 0; i < 118; ++i) {
    list.push_back({11210000 + i * 1000, false, 1000, dvb_s});
    report.push_back(reported(11210000 + i * 1000, 1000));
  }
  const auto sweep = parse_sweep("0 950 1950 1000 45000 0 0");
  ASSERT_TRUE(sweep);
  const comparison compared = compare(list, placed({report}, {*sweep}));

  const std::map<std::pair<uint32_t, bool>, std::pair<verdict, std::string>> expected = {
      {{11000000, false}, {verdict::found, "+500 kHz, -100 kSym/s"}},
      {{11000000, true}, {verdict::out_of_range, "out of range: the low band reaches it at 1250.000 MHz"}},
      {{12500000, false}, {verdict::out_of_range, "out of range: the high band reaches it at 1900.000 MHz"}},
      {{3700000, false}, {verdict::out_of_range, "out of range: neither band brings it within 950-2150 MHz"}},
      {{11100000, false}, {verdict::symbol_rate_out_of_range, "symbol rate out of range"}},
      // Not found among found neighbours, with carriers found the list does not hold.
      {{11200000, false}, {verdict::list_out_of_date, "not found among found neighbours: the list may be out of date"}},
      {{11400000, false},
       {verdict::record_cap, "record cap: sweep '0 950 1950 1000 45000 0 0' found 120 carriers below it"}},
  };
  for (const listed_outcome& outcome : compared.listed) {
    const auto want = expected.find({outcome.listed.downlink_khz, outcome.listed.vertical});
    if (want == expected.end()) {
      EXPECT_EQ(outcome.result, verdict::found) << outcome.listed.downlink_khz;
      continue;
    }
    EXPECT_EQ(outcome.result, want->second.first) << outcome.listed.downlink_khz;
    EXPECT_EQ(outcome.detail, want->second.second);
  }
  std::vector<std::string> extras;
  for (const extra_carrier& extra : compared.extras) extras.push_back(extra.detail);
  EXPECT_EQ(extras,
            (std::vector<std::string>{"outside every sweep given", "unpublished",
                                      "off the listed 11000000 H by +15000 kHz, +0 kSym/s", "unpublished"}));
  EXPECT_EQ(summary_line("sky", compared),
            "sky: 125 listed, 119 found, 6 missed (3 out of range, 1 symbol rate out of range, 1 record cap, "
            "1 perhaps no longer on air, 0 in range and not found), 4 extra\n"
            "oscillator low band 9750.0 MHz, as nominal (from 119 carriers)\n"
            "finding list-out-of-date: 1 listed carriers missed among found neighbours, and 2 carriers found that "
            "the list does not hold: the list may be out of date\n");
  EXPECT_EQ(exit_status(compared), 0);
}

// A carrier a quarter of the listed rate off, in frequency or in rate, is the
// listed one; a kHz or a symbol more is not.
TEST(Comparison, FindsAListedCarrierWithinAQuarterOfItsListedRate) {
  const struct {
    uint32_t khz;
    uint64_t rate;
    bool found;
  } cases[] = {{11006875, 27500000, true},
               {11006876, 27500000, false},
               {11000000, 34375000, true},
               {11000000, 34375001, false}};
  for (const auto& c : cases) {
    kit::reported_carrier carrier = reported(c.khz, 0);
    carrier.symbol_rate = c.rate;
    const comparison compared = compare({{11000000, false, 27500, dvb_s}}, bare({carrier}, whole_sweeps()));
    EXPECT_EQ(compared.listed[0].result == verdict::found, c.found) << c.khz << " " << c.rate;
  }
}

// Two listed carriers close together, each reported carrier within the
// tolerance of both: both found, whichever each is nearer, also where the
// first carrier must give up its nearest for the second.
TEST(Comparison, CloseCarriersAreBothFound) {
  const struct {
    const char* name;
    std::vector<transponder> list;
    std::vector<kit::reported_carrier> report;
  } rows[] = {
      {"each measured nearer the other",
       {{12558000, false, 27800, dvb_s}, {12564000, false, 29473, dvb_s}},
       {reported(12563000, 27800), reported(12559000, 29473)}},
      {"the first nearer the one only the second can be",
       {{11003000, false, 27500, dvb_s}, {10994000, false, 27500, dvb_s}},
       {reported(11000000, 27500), reported(11008000, 27500)}},
  };
  for (const auto& row : rows) {
    const comparison compared = compare(row.list, bare(row.report, whole_sweeps()));
    EXPECT_TRUE(compared.extras.empty()) << row.name;
    for (const listed_outcome& outcome : compared.listed)
      EXPECT_EQ(outcome.result, verdict::found) << row.name;
  }
}

// Listed carriers in one sweep, reported but for some: the report's tail
// cut short is the sweep's early end where its one run is told apart, and a
// single carrier missing, even the last, is not, unless the sweep's lines
// fill the record cap (with carriers the list does not hold).
TEST(Comparison, ASweepCutShortEndsEarlyAndASingleMissingCarrierIsNotFound) {
  struct row {
    const char* name;
    uint32_t listed, reported, skipped;  // the first carriers reported, but for one
    int runs;                            // in a file; 0: the lines alone, with a second sweep
    uint32_t unlisted;                   // narrow carriers reported below the listed ones
    size_t ended_early, not_found;
  };
  for (const row& r : {row{"cut short", 30, 20, 99, 1, 0, 10, 0},
                       row{"cut short, one missing before", 30, 20, 10, 1, 0, 10, 1},
                       row{"one missing in the middle", 30, 30, 10, 1, 0, 0, 1},
                       row{"the last missing", 30, 29, 99, 1, 0, 0, 1},
                       row{"the last missing, the record cap filled", 21, 20, 99, 1, 100, 1, 0},
                       row{"runs not told apart", 30, 20, 99, 0, 0, 0, 10},
                       row{"more runs than sweeps", 30, 20, 99, 2, 0, 0, 10}}) {
    std::vector<transponder> list;
    std::vector<kit::reported_carrier> report;
    for (uint32_t i = 0; i < r.unlisted; ++i) report.push_back(reported(10700000 + i * 800, 1000));
    for (uint32_t i = 0; i < r.listed; ++i) {
      list.push_back({10800000 + i * 30000, false, 27500, dvb_s});
      if (i < r.reported && i != r.skipped) report.push_back(reported(10800000 + i * 30000, 27500));
    }
    const sweep horizontal = *parse_sweep("0 950 2150 1000 45000 0 0");
    std::vector<std::vector<kit::reported_carrier>> runs(static_cast<size_t>(r.runs));
    if (!runs.empty()) runs.front() = report;
    const comparison compared =
        compare(list, runs.empty() ? bare(report, {horizontal, *parse_sweep("0 950 2150 1000 45000 1 0")})
                                   : placed(runs, {horizontal}));
    std::map<verdict, size_t> counts;
    for (const listed_outcome& outcome : compared.listed) ++counts[outcome.result];
    EXPECT_EQ(counts[verdict::sweep_ended_early], r.ended_early) << r.name;
    EXPECT_EQ(counts[verdict::not_found], r.not_found) << r.name;
    EXPECT_EQ(exit_status(compared), r.not_found ? 1 : 0) << r.name;
  }
}

}  // namespace
}  // namespace blindscan::after_scan
