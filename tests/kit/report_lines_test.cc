#include "kit/report_lines.h"

#include <gtest/gtest.h>

namespace blindscan::kit {
namespace {

reported_carrier reported(uint32_t khz, uint64_t ksym, int run) {
  return {false, khz, ksym * 1000, device::delivery_system::dvb_s, "AUTO", "ON", "AUTO", "QPSK", "35", run};
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
  };
  for (const auto& c : cases)
    EXPECT_EQ(distinct_carriers({c.first, c.second}).size(), c.distinct) << c.second.downlink_khz;
}

}  // namespace
}  // namespace blindscan::kit
