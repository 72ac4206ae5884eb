#include "kit/lnb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

namespace blindscan::kit {
namespace {

lnb dish(const std::string& name) { return name.empty() ? tool_bands() : *parse_lnb(name); }

device::blindscan_request sweep(int32_t hilow_band, int32_t pol) {
  return {950, 2150, 1, 100000, pol, hilow_band};
}

// One carrier through each kind of LNB: its intermediate frequency for a
// band and polarisation, and back.  "" is the tool's own bands.
TEST(Lnb, CarrierArrivesAtItsIntermediateFrequencyAndBack) {
  const struct {
    std::string dish;
    int32_t band, pol;
    uint32_t downlink_khz;
    std::optional<int64_t> intermediate_khz;
  } rows[] = {
      {"", 0, 0, 11'000'000, 1'250'000},
      {"", 1, 1, 11'000'000, 400'000},
      {"", 0, 1, 9'000'000, -750'000},
      {"EXTENDED", 0, 0, 11'800'000, std::nullopt},
      {"C-BAND", 0, 1, 4'000'000, 1'150'000},
      {"C-MULT", 1, 1, 4'000'000, 1'150'000},
      {"C-MULT", 1, 0, 4'000'000, 1'750'000},
      {"DISHPRO", 0, 0, 12'500'000, 1'850'000},
      {"AMAZONAS", 1, 0, 11'000'000, 1'000'000},
      {"STACKED-BRASILSAT", 0, 1, 11'000'000, std::nullopt},
      {"9750,10600,11700", 0, 0, 11'700'000, 1'950'000},
      {"9750,10600,11700", 0, 0, 11'701'000, std::nullopt},
      {"9750,10600,11700", 1, 0, 11'700'000, 1'100'000},
      {"5150", 0, 0, 3'000'000, 2'150'000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.dish + " " + std::to_string(row.band) + " " + std::to_string(row.pol));
    const lnb through = dish(row.dish);
    EXPECT_EQ(intermediate_khz(through, sweep(row.band, row.pol), row.downlink_khz), row.intermediate_khz);
    if (!row.intermediate_khz) continue;
    const auto back = downlink_khz(through, sweep(row.band, row.pol), *row.intermediate_khz);
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(*back, row.downlink_khz);
  }
}

TEST(Lnb, IntermediateFrequencyWithoutOneDownlink) {
  const auto beyond_range = downlink_khz(dish("EXTENDED"), sweep(0, 0), 2'100'000);
  ASSERT_TRUE(beyond_range) << beyond_range.error();
  EXPECT_EQ(*beyond_range, 11'850'000);
  EXPECT_FALSE(downlink_khz(dish("AMAZONAS"), sweep(0, 0), 1'500'000));
  EXPECT_FALSE(downlink_khz(dish("STACKED-BRASILSAT"), sweep(0, 1), 1'000'000));
}

// A report line's frequency holds the tool's own oscillator for the band,
// whatever the dish: it comes back as the downlink through the dish.
TEST(Lnb, ReportedFrequencyComesBackAsTheDownlink) {
  const struct {
    std::string dish;
    int32_t band;
    uint32_t reported_khz;
    std::optional<uint32_t> downlink_khz;
  } rows[] = {
      {"", 0, 11'000'000, 11'000'000},
      {"", 1, 1'000, 1'000},  // below the oscillator: the register wrapped
      {"C-BAND", 0, 10'900'000, 4'000'000},
      {"C-BAND", 1, 11'750'000, 4'000'000},
      {"L10750", 1, 11'800'000, 11'950'000},
      {"C-BAND", 0, 15'000'000, std::nullopt},  // above the oscillator: no downlink
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.dish + " " + std::to_string(row.band) + " " + std::to_string(row.reported_khz));
    const auto back = reported_downlink_khz(dish(row.dish), sweep(row.band, 0), row.reported_khz);
    EXPECT_EQ(back ? std::optional<uint32_t>(*back) : std::nullopt, row.downlink_khz);
  }
}

TEST(Lnb, BadNamesAndOscillatorsAreRefused) {
  const struct {
    const char* text;
    const char* message;           // "" where the text is a good LNB
    uint32_t last_oscillator_khz;  // of a good one
  } rows[] = {
      {"c-band", "", 5'150'000},
      {"110bs", "", 10'678'000},
      {"AMAZONAS", "", 10'000'000},
      {"amazonas-2", "", 10'000'000},
      {"9752.4,10597.125,11700", "", 10'597'125},
      {"FOO", "AMAZONAS (10950-12070), AMAZONAS-2 (10950-12150), GVT-BRASILSAT (10962-12188) (the downlinks",
       0},
      {"10600,10600,11700", "out of order: 10600 MHz is not below 10600 MHz", 0},
      {"30001", "oscillator 30001 MHz lies outside 2150-30000 MHz", 0},
      {" 9752, 10597.5 ", "", 10'597'500},
      {"9750,10600,11700,12000", "give one oscillator, LOW,HIGH or LOW,HIGH,SWITCH", 0},
      {"9750,x,11700", "'x' is not a number of MHz", 0},
      {"9750.1234", "'9750.1234' is not a number of MHz, to the kHz at most", 0},
      {"9750,10600,12750.001", "band switch 12750.001 MHz lies outside 10700-12750 MHz", 0},
  };
  for (const auto& row : rows) {
    const auto parsed = parse_lnb(row.text);
    if (*row.message == '\0') {
      ASSERT_TRUE(parsed) << row.text << ": " << parsed.error();
      EXPECT_EQ(parsed->paths.back().oscillator_khz, row.last_oscillator_khz) << row.text;
      EXPECT_EQ(parsed->description.find("2 Oscilators") != std::string::npos,
                std::string(row.text) == "amazonas-2")
          << row.text;
    } else {
      EXPECT_NE(parsed ? std::string::npos : parsed.error().find(row.message), std::string::npos)
          << row.text << ": " << (parsed ? "accepted" : parsed.error());
    }
  }
}

// The table holds what dvb-tools' own list of LNBs states, entry by entry.
TEST(Lnb, TableIsWhatDvbToolsList) {
  FILE* listing = popen("LC_ALL=C dvbv5-scan -l help 2>&1", "r");
  std::string stated;
  char buffer[4096];
  for (size_t n = 0; listing && (n = fread(buffer, 1, sizeof buffer, listing)) > 0;) stated.append(buffer, n);
  if (!listing || pclose(listing) == 127 << 8) GTEST_SKIP() << "dvbv5-scan (dvb-tools) is not installed";
  constexpr const char* labels[] = {"Freqs     ", "Horizontal", "Vertical  ", "Left      ", "Right     "};
  std::string table = "Please select one of the LNBf's below:\n";
  for (const lnb& type : known_lnbs()) {
    const bool stacked = std::any_of(type.paths.begin(), type.paths.end(), [](const lnb_path& path) {
      return path.polarisation != lnb_polarisation::either;
    });
    table += type.name + "\n\t" + type.description + (stacked ? " (bandstacking)\n" : "\n");
    for (const lnb_path& path : type.paths)
      table += "\t" + std::string(labels[static_cast<int>(path.polarisation)]) + ": " +
               std::to_string(path.lowest_khz / 1000) + " to " + std::to_string(path.highest_khz / 1000) +
               " MHz, LO: " + std::to_string(path.oscillator_khz / 1000) + " MHz\n";
    table += "\n";
  }
  EXPECT_EQ(stated, table);
}

}  // namespace
}  // namespace blindscan::kit
