#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "report/report.h"

namespace blindscan::report {
namespace {

using device::blindscan_result;

struct line_case {
  const char* name;
  blindscan_result record;
  int32_t pol;
  int32_t hilow_band;
  const char* expected;
};

class ReportLine : public testing::TestWithParam<line_case> {};

TEST_P(ReportLine, HasTheTenTokens) {
  char out[256];
  std::memset(out, 0, sizeof(out));
  const int length =
      append_line(out, sizeof(out), 0, GetParam().record, GetParam().pol, GetParam().hilow_band);
  EXPECT_EQ(std::string(out, length > 0 ? static_cast<size_t>(length) : 0), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    BandsPolarisationsSystems, ReportLine,
    testing::Values(
        line_case{"LowHorizontalDvbS",
                  {1'000'000, 27'500, 0x0},
                  0,
                  0,
                  "OK HORIZONTAL 10750000 27500 DVB-S INVERSION_AUTO PILOT_ON FEC_AUTO QPSK ROLLOFF_35\n"},
        line_case{"LowHorizontalDvbS2",
                  {1'000'000, 27'500, 0x4},
                  0,
                  0,
                  "OK HORIZONTAL 10750000 27500 DVB-S2 INVERSION_AUTO PILOT_ON FEC_AUTO 8PSK ROLLOFF_35\n"},
        line_case{"HighVerticalDvbS2",
                  {1'000'000, 30'000, 0x4},
                  1,
                  1,
                  "OK VERTICAL 11600000 30000 DVB-S2 INVERSION_AUTO PILOT_ON FEC_AUTO 8PSK ROLLOFF_35\n"},
        line_case{"NegativeSelectorsMeanVerticalAndHigh",
                  {1'150'000, 2'000, 0x0},
                  -1,
                  -1,
                  "OK VERTICAL 11750000 2000 DVB-S INVERSION_AUTO PILOT_ON FEC_AUTO QPSK ROLLOFF_35\n"},
        line_case{"AnyNonZeroBandIsHigh",
                  {0, 0, 0x0},
                  7,
                  2,
                  "OK VERTICAL 10600000 0 DVB-S INVERSION_AUTO PILOT_ON FEC_AUTO QPSK ROLLOFF_35\n"},
        line_case{"FlagBitsOutsideTheFieldAreIgnored",
                  {950'000, 22'000, 0xFFFFFFE3u},
                  0,
                  1,
                  "OK HORIZONTAL 11550000 22000 DVB-S INVERSION_AUTO PILOT_ON FEC_AUTO QPSK ROLLOFF_35\n"},
        line_case{"FrequencyWrapsModulo2To32",
                  {0xFFFFFFFFu, 1, 0x0},
                  0,
                  0,
                  "OK HORIZONTAL 9749999 1 DVB-S INVERSION_AUTO PILOT_ON FEC_AUTO QPSK ROLLOFF_35\n"},
        line_case{"WrapToZero",
                  {4'294'967'296ull - 10'600'000, 1, 0x0},
                  0,
                  1,
                  "OK HORIZONTAL 0 1 DVB-S INVERSION_AUTO PILOT_ON FEC_AUTO QPSK ROLLOFF_35\n"},
        line_case{
            "SymbolRatePrintedUnsigned",
            {0, 0xFFFFFFFFu, 0x4},
            1,
            0,
            "OK VERTICAL 9750000 4294967295 DVB-S2 INVERSION_AUTO PILOT_ON FEC_AUTO 8PSK ROLLOFF_35\n"}),
    [](const testing::TestParamInfo<line_case>& info) { return std::string(info.param.name); });

TEST(ReportLine, LongestLineFillsTheBoundExactly) {
  char out[256];
  const blindscan_result widest{4'294'967'295u - device::high_band_offset_khz, 4'294'967'295u, 0x4};
  const int length = append_line(out, sizeof(out), 0, widest, 0, 1);
  EXPECT_EQ(length, static_cast<int>(max_line_length));
}

TEST(ReportLine, UnrecognisedDeliverySystemAppendsNothing) {
  for (uint32_t bits = 2; bits <= 7; ++bits) {
    char out[256];
    std::memset(out, '#', sizeof(out));
    EXPECT_EQ(append_line(out, sizeof(out), 5, {1, 2, bits << 2}, 0, 0), -1) << bits;
    EXPECT_EQ(out[5], '#');
  }
}

TEST(ReportLine, RefusesWhenTheLongestLineMightNotFit) {
  char out[max_line_length + 10];
  std::memset(out, '#', sizeof(out));
  EXPECT_EQ(append_line(out, sizeof(out), 11, {1, 2, 0}, 0, 0), -1);
  EXPECT_EQ(out[11], '#');
  EXPECT_GT(append_line(out, sizeof(out), 10, {1, 2, 0}, 0, 0), 10);
}

}  // namespace
}  // namespace blindscan::report
