#include "kit/installation_faults.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace blindscan::kit {
namespace {

using device::delivery_system;

// Carriers A to F.  Through the tool's bands A, B and C lie in the low band
// (964, 979 and 2150 MHz), C to F in the high one (1300, 1400, 1400 and
// 1700 MHz); E and D overlap, as do A and B; C and F overlap nothing.
const std::vector<transponder> sky = {
    {10'714'000, false, 22'000, delivery_system::dvb_s},  {10'729'000, true, 27'500, delivery_system::dvb_s2},
    {11'900'000, false, 27'500, delivery_system::dvb_s2}, {12'000'000, true, 27'500, delivery_system::dvb_s2},
    {12'000'000, false, 4'999, delivery_system::dvb_s},   {12'300'000, true, 5'000, delivery_system::dvb_s2},
};

struct sweep_case {
  std::vector<std::string_view> faults;  // as the stand-in's --fault gives them
  int32_t pol, band;                     // the sweep, over the whole range
  const char* found;                     // the carriers, in the order delivered,
  int32_t served_band;                   // found on this band
};

void PrintTo(const sweep_case& c, std::ostream* os) {
  for (const std::string_view fault : c.faults) *os << fault << " ";
  *os << "pol " << c.pol << " band " << c.band;
}

class InstallationSearch : public testing::TestWithParam<sweep_case> {};

// A carrier found on the band the sweep did not ask for is reported that
// band's oscillators' difference off its downlink, as the tool adds the
// requested one's.
TEST_P(InstallationSearch, FindsWhatTheFaultyInstallationServes) {
  const sweep_case& c = GetParam();
  std::vector<installation_fault> faults;
  for (const std::string_view text : c.faults) faults.push_back(*parse_installation_fault(text).value());
  std::vector<uint32_t> found, expected;
  for (const auto& record :
       installation_search(sky, {950, 2150, 1000, 45000, c.pol, c.band}, {}, tool_bands(), faults))
    found.push_back(record.frequency);
  for (const char* letter = c.found; *letter != 0; ++letter)
    expected.push_back(sky[static_cast<size_t>(*letter - 'A')].downlink_khz -
                       device::lnb_offset_khz(c.served_band));
  EXPECT_EQ(found, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sweeps, InstallationSearch,
    testing::Values(sweep_case{{}, 0, 1, "CE", 1}, sweep_case{{"no-tone"}, 0, 1, "AC", 0},
                    sweep_case{{"tone-stuck"}, 1, 0, "DF", 1}, sweep_case{{"pol-stuck=H"}, 1, 1, "CE", 1},
                    sweep_case{{"skew"}, 0, 1, "CEF", 1}, sweep_case{{"skew"}, 1, 1, "CDF", 1},
                    // Both ends are kept: D at 1400 MHz, F at 5000 kSym/s.
                    sweep_case{{"cable-loss=1400"}, 1, 1, "D", 1},
                    sweep_case{{"rate-floor=5000"}, 1, 1, "DF", 1},
                    sweep_case{{"rate-floor=5000"}, 0, 1, "C", 1},
                    sweep_case{{"no-tone", "pol-stuck=V", "skew"}, 0, 1, "BC", 0}));

// What parse_installation_fault reads, installation_fault_text writes back;
// a wrong value is refused, and a name of no fault left to the caller.
TEST(ParseInstallationFault, RoundTripsAndRefuses) {
  for (const char* text :
       {"no-tone", "tone-stuck", "pol-stuck=H", "pol-stuck=V", "skew", "cable-loss=1800", "rate-floor=2000"})
    EXPECT_EQ(installation_fault_text(*parse_installation_fault(text).value()), text);
  for (const char* text : {"pol-stuck=X", "cable-loss=0", "rate-floor=", "no-tone=1"})
    EXPECT_FALSE(parse_installation_fault(text).value()) << text;
  for (const char* text : {"hang", "no-tones", ""}) EXPECT_FALSE(parse_installation_fault(text)) << text;
}

}  // namespace
}  // namespace blindscan::kit
