// A synthetic satellite scanned through a real dish, as the driver stand-in
// scans it (the kit's installation_search, one definition of each fault),
// and compared with its list: the oscillators measured, each fault named,
// and no carrier that was there blamed on the dish.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "after_scan/comparison.h"
#include "kit/installation_faults.h"

namespace blindscan::after_scan {
namespace {

constexpr auto dvb_s = device::delivery_system::dvb_s;

// Each polarisation every 80 MHz across the Ku band, the vertical between
// the horizontal, wide and narrow in turn.
std::vector<kit::transponder> satellite() {
  std::vector<kit::transponder> sky;
  for (uint32_t k = 0; k < 25; ++k) {
    const uint32_t rate = k % 2 == 0 ? 27500 : 2200;
    sky.push_back({10'750'000 + k * 80'000, false, rate, dvb_s});
    sky.push_back({10'790'000 + k * 80'000, true, rate, dvb_s});
  }
  return sky;
}

const std::vector<std::string> readme_sweeps = {"0 950 2150 2000 45000 0 0", "0 950 2150 2000 45000 1 0",
                                                "0 950 2150 2000 45000 0 1", "0 950 2150 2000 45000 1 1"};

// The report of sweeps of sky through dish with faults, as a file holds it.
kit::placed_report scanned(const std::vector<kit::transponder>& sky, const kit::lnb& dish,
                           const std::vector<kit::installation_fault>& faults, uint32_t jitter_khz) {
  const std::vector<std::string>& given = readme_sweeps;
  std::vector<sweep> sweeps;
  kit::scan_report read;
  for (const std::string& arguments : given) {
    sweeps.push_back(*parse_sweep(arguments));
    const device::blindscan_request& request = sweeps.back().request;
    for (const device::blindscan_result& record :
         kit::installation_search(sky, request, {jitter_khz, 5, 3}, dish, faults)) {
      const uint32_t khz = record.frequency + device::lnb_offset_khz(request.hilow_band);
      const bool vertical = request.pol != 0;
      read.carriers.push_back({vertical, khz, uint64_t{record.symbol_rate} * 1000, dvb_s, "AUTO", "ON",
                               "AUTO", "QPSK", "35", read.open_paths, 0, -1, khz});
    }
    ++read.open_paths;
  }
  return kit::place_runs({{"report", read}}, sweeps);
}

// The C band's satellite of the same carriers, 7 GHz down.
std::vector<kit::transponder> c_band(std::vector<kit::transponder> sky) {
  for (kit::transponder& carrier : sky)
    carrier.downlink_khz = 3'700'000 + (carrier.downlink_khz - 10'750'000) / 4;
  return sky;
}

// The satellite with the carriers of which keep says false left out.
template <typename predicate>
std::vector<kit::transponder> but(std::vector<kit::transponder> sky, predicate keep) {
  std::erase_if(sky, [&](const kit::transponder& t) { return !keep(t); });
  return sky;
}

TEST(RealDish, OscillatorsMeasuredFaultsNamedAndNothingThereBlamed) {
  const std::vector<kit::transponder> list = satellite();
  // The sky some months on: one carrier gone, one new; or many gone.
  std::vector<kit::transponder> moved_on = list;
  moved_on.erase(moved_on.begin() + 21);
  moved_on.push_back({12'695'000, false, 12000, dvb_s});
  std::vector<kit::transponder> gone = moved_on;
  // Every other carrier of each polarisation, the sky's first 48.
  for (long at = 47; at >= 3; at -= 4) gone.erase(gone.begin() + at - 1, gone.begin() + at + 1);
  const std::vector<kit::transponder> wide =
      but(list, [](const kit::transponder& t) { return t.symbol_rate > 20000; });
  // Each polarisation on the same frequencies, and one vertical carrier more.
  std::vector<kit::transponder> alike = but(wide, [](const kit::transponder& t) { return !t.vertical; });
  for (const kit::transponder& t : but(wide, [](const kit::transponder& t) { return !t.vertical; }))
    alike.push_back({t.downlink_khz, true, t.symbol_rate, dvb_s});
  alike.push_back({11'150'000, true, 27500, dvb_s});
  // The vertical carriers only above 12300 MHz.
  const std::vector<kit::transponder> high_vertical_up =
      but(list, [](const kit::transponder& t) { return !t.vertical || t.downlink_khz > 12'300'000; });
  const struct {
    const char* name;
    std::string dish;  // as scanned; the comparison takes the tool's own bands
    const char* fault;
    std::vector<kit::transponder> sky, listed;
    std::set<std::string> findings;
    std::vector<std::string> oscillators;  // as the comparison says them
    uint32_t jitter_khz = 100;             // the demodulator's error of measurement
    bool blamed = false;                   // whether a carrier may be in range and not found
  } rows[] = {
      {"an ideal dish", "9750,10600", "", list, list, {}, {"low band 9750.0 MHz,", "high band 10600.0 MHz,"}},
      {"an LNB off", "9752.4,10597", "", list, list, {}, {"low band 9752.4 MHz,", "high band 10597.0 MHz,"}},
      {"an LNB far off",
       "9755,10595",
       "",
       list,
       list,
       {},
       {"low band 9755.0 MHz,", "high band 10595.0 MHz,"}},
      {"a list out of date", "9750,10600", "", moved_on, list, {"list-out-of-date"}, {}},
      {"no tone", "9752,10600", "no-tone", list, list, {"no-tone"}, {"low band 9752.0 MHz,"}},
      {"the tone stuck", "9750,10600", "tone-stuck", list, list, {"tone-stuck"}, {}},
      {"the voltage stuck",
       "9750,10597",
       "pol-stuck=H",
       list,
       list,
       {"pol-stuck"},
       {"", "high band 10597.0"}},
      {"a turned LNB", "9750,10600", "skew", list, list, {"skew"}, {}},
      {"a long cable", "9750,10600", "cable-loss=1700", list, list, {"cable-loss"}, {}},
      {"a demodulator's floor", "9750,10600", "rate-floor=5000", list, list, {"rate-floor"}, {}},
      {"a C-band LNB", "C-BAND", "", c_band(list), c_band(list), {"wrong-lnb"}, {}},
      // The offset the carriers' own errors make is none.
      {"a demodulator's large error",
       "9750,10600",
       "",
       wide,
       wide,
       {},
       {"low band 9750.0", "high band 10600.0"},
       3000},
      // One carrier of the other polarisation is no turned LNB.
      {"one carrier leaking", "9750,10600", "skew", alike, alike, {}, {}},
      // Many carriers gone is no list out of date.
      {"a sky far from its list", "9750,10600", "", gone, list, {}, {}, 100, true},
      // A sweep of the high band that finds nothing listed, where another
      // finds the high band's carriers, did not lose the tone.
      {"a long cable, the high band's vertical carriers all above it",
       "9750,10600",
       "cable-loss=1700",
       high_vertical_up,
       high_vertical_up,
       {"cable-loss"},
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<kit::installation_fault> faults;
    if (*row.fault != '\0') faults.push_back(**kit::parse_installation_fault(row.fault));
    const comparison compared =
        compare(row.listed, *kit::through(scanned(row.sky, *kit::parse_lnb(row.dish), faults, row.jitter_khz),
                                          kit::tool_bands()));
    std::set<std::string> findings;
    for (const finding& found : compared.findings) findings.insert(found.id);
    EXPECT_EQ(findings, row.findings);
    for (size_t i = 0; i < row.oscillators.size(); ++i)
      EXPECT_EQ(compared.oscillators.at(i).name.empty()
                    ? ""
                    : measure_words(compared.oscillators.at(i)).substr(0, row.oscillators[i].size()),
                row.oscillators[i]);
    const bool blamed = std::any_of(compared.listed.begin(), compared.listed.end(),
                                    [](const listed_outcome& o) { return o.result == verdict::not_found; });
    EXPECT_EQ(blamed, row.blamed);
    // The status: 1 for a carrier blamed or a fault named.
    EXPECT_EQ(exit_status(compared), blamed || std::any_of(compared.findings.begin(), compared.findings.end(),
                                                           [](const finding& f) { return f.fault; }));
  }
}

}  // namespace
}  // namespace blindscan::after_scan
