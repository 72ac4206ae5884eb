#include "kit/report_lines.h"

#include <gtest/gtest.h>

#include <string>

namespace blindscan::kit {
namespace {

reported_carrier reported(uint32_t khz, uint64_t ksym, int run) {
  return {false, khz, ksym * 1000, device::delivery_system::dvb_s, "AUTO", "ON", "AUTO", "QPSK", "35", run,
          0,     -1,  khz};
}

reported_carrier dvb_s2(reported_carrier carrier) {
  carrier.system = device::delivery_system::dvb_s2;
  return carrier;
}

// Carriers within the tolerance are one only when different runs (both
// bands) report them, or the same run reports them alike.
TEST(DistinctCarriers, OneRunsCarriersStayApart) {
  const struct {
    reported_carrier first, second;
    size_t distinct;
  } cases[] = {
      {reported(12175000, 4232, 0), reported(12176000, 3985, 0), 2},
      {reported(12175000, 4232, 0), reported(12176000, 3985, 1), 1},
      {reported(12175000, 4232, 0), reported(12175000, 4232, 0), 1},
      {reported(12175000, 4232, 0), reported(12177000, 4232, 1), 2},
      {reported(12175000, 4232, 0), dvb_s2(reported(12175000, 4232, 0)), 2},
  };
  for (const auto& c : cases)
    EXPECT_EQ(distinct_carriers({c.first, c.second}).size(), c.distinct) << c.second.downlink_khz;
}

// A quarter of the rate off is within; one kHz or one symbol more is not.
TEST(WithinTolerance, TakesAQuarterOfTheRateExactly) {
  const struct {
    uint32_t khz;
    uint64_t rate;
    bool within;
  } cases[] = {
      {11006875, 27500000, true}, {11006876, 27500000, false}, {10993125, 27500000, true},
      {11000000, 34375000, true}, {11000000, 34375001, false}, {11000000, 20625000, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(within_tolerance(11000000, 27500000, c.khz, c.rate, 27500000), c.within)
        << c.khz << " " << c.rate;
}

// At one frequency the horizontal carrier comes first, whatever the order reported.
TEST(DistinctCarriers, PutsHorizontalBeforeVerticalAtOneFrequency) {
  reported_carrier vertical = reported(11000000, 27500, 0);
  vertical.vertical = true;
  const std::vector<reported_carrier> kept = distinct_carriers({vertical, reported(11000000, 27500, 0)});
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_FALSE(kept[0].vertical);
}

// The largest rate a report's unit can hold in symbols per second is taken,
// one more refused with its line.
TEST(ReadReport, TakesTheLargestRateAndRefusesOneMore) {
  const auto line = [](const char* ksym) {
    return std::string("OK HORIZONTAL 11000000 ") + ksym +
           " DVB-S INVERSION_AUTO PILOT_ON FEC_AUTO QPSK ROLLOFF_35\n";
  };
  const result<scan_report> largest = read_report(line("4294967"), "report", symbol_unit::ksym);
  ASSERT_TRUE(largest) << largest.error();
  EXPECT_EQ(largest->carriers.at(0).symbol_rate, 4'294'967'000u);
  const result<scan_report> beyond = read_report(line("4294968"), "report", symbol_unit::ksym);
  EXPECT_NE(beyond ? std::string::npos : beyond.error().find("report:1: not a whole report line"),
            std::string::npos);
}

}  // namespace
}  // namespace blindscan::kit
