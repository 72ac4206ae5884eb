#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "kit/blind_search.h"

namespace blindscan::kit {
namespace {

using device::blindscan_request;
using device::delivery_system;

const std::vector<transponder> test_sky = {
    {11'778'000, false, 27'500, delivery_system::dvb_s2},
    {10'714'000, false, 22'000, delivery_system::dvb_s},
    {10'729'000, true, 2'000, delivery_system::dvb_s2},
    {11'700'000, false, 45'000, delivery_system::dvb_s2},
    {12'750'000, true, 30'000, delivery_system::dvb_s},
    {9'000'000, false, 6'111, delivery_system::dvb_s},
};

struct search_case {
  const char* name;
  blindscan_request request;
  std::vector<uint32_t> tuner_khz;  // expected, in delivery order
};

// Names the case in test listings.
void PrintTo(const search_case& c, std::ostream* os) { *os << c.name; }

class BlindSearch : public testing::TestWithParam<search_case> {};

TEST_P(BlindSearch, FindsMatchingTranspondersInAscendingTunerFrequency) {
  std::vector<uint32_t> found;
  for (const auto& record : blind_search(test_sky, GetParam().request)) found.push_back(record.frequency);
  EXPECT_EQ(found, GetParam().tuner_khz);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, BlindSearch,
    testing::Values(
        // Low band, horizontal: 10714 and 11700 lie at 964 and 1950 MHz; 11778 lies at 2028.
        search_case{"LowHorizontal", {950, 1950, 1000, 45000, 0, 0}, {964'000, 1'950'000}},
        search_case{"LowHorizontalWide", {950, 2150, 1000, 45000, 0, 0}, {964'000, 1'950'000, 2'028'000}},
        // Range ends are inclusive, in MHz.
        search_case{"EndsInclusive", {964, 964, 22000, 22000, 0, 0}, {964'000}},
        search_case{"SymbolRateBelowRange", {950, 1950, 22001, 45000, 0, 0}, {1'950'000}},
        search_case{"SymbolRateAboveRange", {950, 1950, 1000, 44999, 0, 0}, {964'000}},
        // High band: oscillator 10,600,000 kHz.
        search_case{"HighHorizontal", {1100, 2150, 1000, 45000, 0, 1}, {1'100'000, 1'178'000}},
        search_case{"HighVertical", {1100, 2150, 1000, 45000, 1, 1}, {2'150'000}},
        // Any non-zero pol is vertical and any non-zero band is high.
        search_case{"NegativeSelectors", {1100, 2150, 1000, 45000, -1, -7}, {2'150'000}},
        search_case{"LowVertical", {950, 1950, 1000, 45000, 5, 0}, {979'000}},
        search_case{"MinimumAboveMaximum", {1950, 950, 1000, 45000, 0, 0}, {}},
        search_case{"SymbolMinimumAboveMaximum", {950, 1950, 45000, 1000, 0, 0}, {}},
        // A downlink below the oscillator is delivered modulo 2^32.
        search_case{"BelowOscillator", {-1000, 0, 1000, 45000, 0, 0}, {static_cast<uint32_t>(-750'000)}},
        // The range is widened to kHz without overflowing.
        search_case{"ExtremeRange",
                    {INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, 0, 0},
                    {static_cast<uint32_t>(-750'000), 964'000, 1'950'000, 2'028'000}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlindSearch, RecordsCarryTheSymbolRateAndFlagsOfEachTransponder) {
  const auto records = blind_search(test_sky, {950, 1950, 1000, 45000, 1, 0});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].symbol_rate, 2'000u);
  EXPECT_EQ(device::delivery_system_bits(records[0].flags), 1u);
}

struct flags_case {
  transponder found;
  uint32_t flags;
};

// Names the case in test listings.
void PrintTo(const flags_case& c, std::ostream* os) { *os << std::hex << "0x" << c.flags; }

class RecordFlags : public testing::TestWithParam<flags_case> {};

TEST_P(RecordFlags, HoldDeliverySystemInBits2To4AndOtherBitsBesides) {
  const uint32_t flags = record_flags(GetParam().found);
  EXPECT_EQ(flags, GetParam().flags);
  EXPECT_NE(flags & ~device::delivery_system_mask, 0u);
}

INSTANTIATE_TEST_SUITE_P(Systems, RecordFlags,
                         testing::Values(flags_case{{1, false, 1, delivery_system::dvb_s}, 0x80000003u},
                                         flags_case{{1, false, 1, delivery_system::dvb_s2}, 0x80000007u},
                                         flags_case{{1, true, 1, delivery_system::dvb_s}, 0x80000023u},
                                         flags_case{{1, true, 1, delivery_system::dvb_s2}, 0x80000027u}));

// A sky of carriers 1 kHz apart, closer than the jitter, of every symbol
// rate from 1 kSym/s.
std::vector<transponder> crowded_sky() {
  std::vector<transponder> sky;
  for (uint32_t i = 0; i < 200; ++i)
    sky.push_back(
        {10'700'000 + i, i % 2 == 1, 1 + i, i % 3 ? delivery_system::dvb_s2 : delivery_system::dvb_s});
  return sky;
}

class Jitter : public testing::TestWithParam<measurement_jitter> {};

// Each carrier is found as without jitter, in the same order, with the same
// flags, and reported within the bounds; the same seed gives the same answer.
TEST_P(Jitter, StaysInBoundsKeepsTheTrueOrderAndRepeats) {
  const measurement_jitter& jitter = GetParam();
  for (const int32_t pol : {0, 1}) {
    const blindscan_request request{950, 1950, 1, 1000, pol, 0};
    const auto exact = blind_search(crowded_sky(), request);
    const auto jittered = blind_search(crowded_sky(), request, jitter);
    ASSERT_EQ(jittered.size(), 100u);
    ASSERT_EQ(exact.size(), 100u);
    bool moved = false;
    for (size_t i = 0; i < exact.size(); ++i) {
      // Tuner frequencies are held modulo 2^32.
      const int64_t khz_off = static_cast<int32_t>(jittered[i].frequency - exact[i].frequency);
      const int64_t ksym_off = int64_t{jittered[i].symbol_rate} - int64_t{exact[i].symbol_rate};
      EXPECT_LE(std::abs(khz_off), int64_t{jitter.khz}) << i;
      EXPECT_LE(std::abs(ksym_off), int64_t{jitter.ksym}) << i;
      EXPECT_GE(jittered[i].symbol_rate, 1u) << i;
      EXPECT_EQ(jittered[i].flags, exact[i].flags) << i;
      moved = moved || khz_off != 0 || ksym_off != 0;
    }
    EXPECT_EQ(moved, jitter.khz + jitter.ksym > 0);
    const auto again = blind_search(crowded_sky(), request, jitter);
    EXPECT_EQ(std::memcmp(again.data(), jittered.data(), jittered.size() * sizeof(jittered[0])), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Bounds, Jitter,
                         testing::Values(measurement_jitter{0, 0, 1}, measurement_jitter{1, 0, 1},
                                         measurement_jitter{0, 1, 7}, measurement_jitter{500, 10, 2},
                                         measurement_jitter{1'000'000, 100'000, UINT64_MAX}));

// Another seed gives other offsets, and the generator's numbers are fixed:
// the same on every platform and C library.
TEST(Jitter, FollowsTheSeedTheSameEverywhere) {
  const transponder carrier{11'778'000, true, 27'500, delivery_system::dvb_s2};
  EXPECT_EQ(jitter_offsets(carrier, {500, 10, 1}), (std::pair<int64_t, int64_t>{441, -8}));
  int differ = 0;
  for (uint64_t seed = 2; seed < 12; ++seed)
    differ += jitter_offsets(carrier, {500, 10, seed}) != jitter_offsets(carrier, {500, 10, 1});
  EXPECT_GE(differ, 9);
}

}  // namespace
}  // namespace blindscan::kit
