#include <gtest/gtest.h>

#include <ostream>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "kit/sky_file.h"

namespace blindscan::kit {
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
      "# header\n\n  10714250\tH 22000 DVB-S   # trailing comment\r\n10714250 V 2000 DVB-S2\r\n   \n", "t");
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

// One entry of a published channel list, with extra lines after the four keys.
std::string entry(const std::string& frequency, const std::string& polarization,
                  const std::string& symbol_rate, const std::string& system, const std::string& extra = "") {
  return "[CHANNEL]\n\tDELIVERY_SYSTEM = " + system + "\n\tFREQUENCY = " + frequency +
         "\n\tPOLARIZATION = " + polarization + "\n\tSYMBOL_RATE = " + symbol_rate + "\n" + extra;
}

struct list_case {
  const char* name;
  std::string text;
  std::vector<transponder> sky;
};

// Names the case in test listings.
void PrintTo(const list_case& c, std::ostream* os) { *os << c.name; }

class ChannelList : public testing::TestWithParam<list_case> {};

TEST_P(ChannelList, GivesOneTransponderPerCarrier) {
  const result<std::vector<transponder>> parsed = parse_sky(GetParam().text, "list");
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_EQ(*parsed, GetParam().sky);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ChannelList,
    testing::Values(
        list_case{
            "OtherKeysAndComments",
            "# Astra\n\n" +
                entry("11362000", "HORIZONTAL", "22000000", "DVBS2",
                      "\tINNER_FEC = 2/3\n\tMODULATION = PSK/8  # 8PSK\n\n[Dish USA]\n") +
                "FREQUENCY=12224000\nPOLARIZATION=VERTICAL\nSYMBOL_RATE=20000000\nDELIVERY_SYSTEM=DVBS\n",
            {{11'362'000, false, 22'000, delivery_system::dvb_s2},
             {12'224'000, true, 20'000, delivery_system::dvb_s}}},
        // 18 V selects left-hand circular with horizontal, 13 V right-hand with vertical.
        list_case{
            "Circular",
            entry("12226000", "LEFT", "27500000", "DVBS") + entry("12226000", "RIGHT", "27500000", "DVBS"),
            {{12'226'000, false, 27'500, delivery_system::dvb_s},
             {12'226'000, true, 27'500, delivery_system::dvb_s}}},
        // A multistream carrier is listed once per stream: the first entry stands.
        list_case{"MultistreamRepeat",
                  entry("11015000", "VERTICAL", "30000000", "DVBS2", "\tSTREAM_ID = 1\n") +
                      entry("11015000", "VERTICAL", "45000000", "DVBS", "\tSTREAM_ID = 2\n"),
                  {{11'015'000, true, 30'000, delivery_system::dvb_s2}}},
        // C band, and symbols per second to the nearest kSym/s.
        list_case{
            "CBandAndRounding",
            entry("3496000", "VERTICAL", "26583500", "DVBS2") + entry("3498000", "LEFT", "500", "DVBS"),
            {{3'496'000, true, 26'584, delivery_system::dvb_s2},
             {3'498'000, false, 1, delivery_system::dvb_s}},
        }),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Malformed, BadSky,
    testing::Values(
        bad_sky_case{"[a]\nFREQUENCY = 11362000\nPOLARIZATION = VERTICAL\nSYMBOL_RATE = 22000000\n",
                     "test.sky:1: entry [a] has no DELIVERY_SYSTEM"},
        bad_sky_case{"# x\n[a]\nDELIVERY_SYSTEM = DVBS\n[b]\n", "test.sky:2: entry [a] has no FREQUENCY"},
        bad_sky_case{"[a]\nFREQUENCY = 11362 MHz\n",
                     "test.sky:2: FREQUENCY '11362 MHz' is not a whole number of kHz from 1 to 4294967295"},
        bad_sky_case{"[a]\nPOLARIZATION = H\n",
                     "test.sky:2: POLARIZATION 'H' is none of HORIZONTAL, VERTICAL, LEFT and RIGHT"},
        bad_sky_case{"[a]\nSYMBOL_RATE = 22e6\n",
                     "test.sky:2: SYMBOL_RATE '22e6' is not a whole number of symbols per second from 500 to "
                     "4294967295"},
        bad_sky_case{"[a]\nSYMBOL_RATE = 499\n",
                     "test.sky:2: SYMBOL_RATE '499' is not a whole number of symbols per second from 500 to "
                     "4294967295"},
        bad_sky_case{"[a]\nDELIVERY_SYSTEM = DVBT\n",
                     "test.sky:2: DELIVERY_SYSTEM 'DVBT' is neither DVBS nor DVBS2"},
        bad_sky_case{"[a]\nFREQUENCY 11362000\n",
                     "test.sky:2: expected KEY = value or [NAME], found 'FREQUENCY 11362000'"},
        bad_sky_case{"[a\n", "test.sky:1: expected [NAME], found '[a'"},
        bad_sky_case{"[]\n", "test.sky:1: expected [NAME], found '[]'"}));

// Every list the distribution publishes loads (when it is installed; in CI
// it must be).
TEST(PublishedLists, EveryFileLoads) {
  const std::filesystem::path directory = published_lists_directory;
  if (!std::filesystem::is_directory(directory)) {
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string_view(ci) == "true")
      FAIL() << directory << " is missing (dtv-scan-tables)";
    GTEST_SKIP() << directory << " is missing (dtv-scan-tables)";
  }
  int loaded = 0;
  for (const auto& file : std::filesystem::directory_iterator(directory)) {
    std::ostringstream text;
    text << std::ifstream(file.path()).rdbuf();
    const auto parsed = parse_sky(text.str(), file.path().string());
    EXPECT_TRUE(parsed && !parsed->empty()) << file.path() << (parsed ? "" : parsed.error());
    loaded += parsed ? 1 : 0;
  }
  std::cout << loaded << " published lists loaded\n";
}

// A satellite is a file of the lists' folder by its name, never a path that
// leads out of the folder or into one below it.
TEST(SatelliteFile, IsANameInTheListsFolderAlone) {
  const std::filesystem::path scratch = std::filesystem::path(testing::TempDir()) / "satellite_file_test";
  std::filesystem::create_directories(scratch / "lists" / "a");
  for (const char* file : {"lists/Astra-19.2E", "lists/a/b", "x"}) std::ofstream{scratch / file};
  const std::string lists = (scratch / "lists").string();
  const result<std::string> found = satellite_file(lists, "Astra-19.2E");
  EXPECT_TRUE(found && *found == lists + "/Astra-19.2E");
  for (const char* name : {"../x", "a/b", "..", "."}) {
    const result<std::string> refused = satellite_file(lists, name);
    ASSERT_FALSE(refused) << name;
    EXPECT_EQ(refused.error(),
              "no satellite '" + std::string(name) + "' in " + lists + " (ls " + lists + " lists the names)");
  }
  std::filesystem::remove_all(scratch);
}

}  // namespace
}  // namespace blindscan::kit
