#include <gtest/gtest.h>

#include <ostream>

#include <set>
#include <string>

#include "emulator/sky.h"

namespace blindscan::emulator {
namespace {

using device::delivery_system;

struct bad_sky_case {
  const char* text;
  const char* error;
};

// Names the case in test listings.
void PrintTo(const bad_sky_case& c, std::ostream* os) { *os << c.error; }

class BadSky : public testing::TestWithParam<bad_sky_case> {};

TEST_P(BadSky, NamesFileLineAndWhatIsWrong) {
  const result<std::vector<transponder>> parsed = parse_sky(GetParam().text, "test.sky");
  ASSERT_FALSE(parsed);
  EXPECT_EQ(parsed.error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BadSky,
    testing::Values(
        bad_sky_case{
            "10714000 H 22000\n",
            "test.sky:1: expected 4 fields (frequency_khz polarisation symbol_rate system), found 3"},
        bad_sky_case{
            "# c\n\n10714000 H 22000 DVB-S extra\n",
            "test.sky:3: expected 4 fields (frequency_khz polarisation symbol_rate system), found 5"},
        bad_sky_case{"10714.5 H 22000 DVB-S\n",
                     "test.sky:1: frequency '10714.5' is not a whole number of kHz from 1 to 4294967295"},
        bad_sky_case{"-1 H 22000 DVB-S\n",
                     "test.sky:1: frequency '-1' is not a whole number of kHz from 1 to 4294967295"},
        bad_sky_case{"4294967296 H 22000 DVB-S\n",
                     "test.sky:1: frequency '4294967296' is not a whole number of kHz from 1 to 4294967295"},
        bad_sky_case{"0 H 22000 DVB-S\n",
                     "test.sky:1: frequency '0' is not a whole number of kHz from 1 to 4294967295"},
        bad_sky_case{"10714000 L 22000 DVB-S\n", "test.sky:1: polarisation 'L' is neither H nor V"},
        bad_sky_case{"10714000 V 22k DVB-S\n",
                     "test.sky:1: symbol rate '22k' is not a whole number of kSym/s from 1 to 4294967295"},
        bad_sky_case{"10714000 V 22000 DVB-T\n",
                     "test.sky:1: delivery system 'DVB-T' is neither DVB-S nor DVB-S2"},
        bad_sky_case{"10714000 V 22000 dvb-s\n",
                     "test.sky:1: delivery system 'dvb-s' is neither DVB-S nor DVB-S2"}));

INSTANTIATE_TEST_SUITE_P(
    Duplicates, BadSky,
    testing::Values(bad_sky_case{"10714000 H 22000 DVB-S\n# again\n10714000 H 2000 DVB-S2\n",
                                 "test.sky:3: transponder 10714000 H already given on line 1"},
                    bad_sky_case{"10714000 v 22000 DVB-S\n10714000 V 27500 DVB-S\n",
                                 "test.sky:2: transponder 10714000 V already given on line 1"}));

TEST(ParseSky, ReadsFieldsAndSkipsCommentsAndBlankLines) {
  const result<std::vector<transponder>> parsed = parse_sky(
      "# header\n\n  10714250\tH 22000 DVB-S   # trailing comment\r\n10714250 V 2000 DVB-S2\n   \n", "t");
  ASSERT_TRUE(parsed) << parsed.error();
  ASSERT_EQ(parsed->size(), 2u);
  EXPECT_EQ((*parsed)[0].downlink_khz, 10714250u);
  EXPECT_FALSE((*parsed)[0].vertical);
  EXPECT_EQ((*parsed)[0].symbol_rate, 22000u);
  EXPECT_EQ((*parsed)[0].system, delivery_system::dvb_s);
  EXPECT_TRUE((*parsed)[1].vertical);
  EXPECT_EQ((*parsed)[1].system, delivery_system::dvb_s2);
}

TEST(ParseSky, AnEmptySkyIsValid) {
  const result<std::vector<transponder>> parsed = parse_sky("# nothing up there\n", "t");
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_TRUE(parsed->empty());
}

// What the demonstration and the README promise about the built-in sky.
TEST(DefaultSky, IsAPlausibleKuBandSatellite) {
  const result<std::vector<transponder>> parsed = parse_sky(default_sky_text, default_sky_name);
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_GE(parsed->size(), 80u);
  std::set<bool> polarisations;
  std::set<delivery_system> systems;
  uint32_t narrowest = UINT32_MAX, widest = 0;
  for (const transponder& t : *parsed) {
    EXPECT_GE(t.downlink_khz, 10'700'000u);
    EXPECT_LE(t.downlink_khz, 12'750'000u);
    polarisations.insert(t.vertical);
    systems.insert(t.system);
    narrowest = std::min(narrowest, t.symbol_rate);
    widest = std::max(widest, t.symbol_rate);
  }
  EXPECT_EQ(polarisations.size(), 2u);
  EXPECT_EQ(systems.size(), 2u);
  EXPECT_LE(narrowest, 2'200u);
  EXPECT_EQ(widest, 45'000u);
}

}  // namespace
}  // namespace blindscan::emulator
