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
                           const std::vector<kit::installation_fault>& faults,
                           const std::vector<std::string>& given = readme_sweeps) {
  std::vector<sweep> sweeps;
  kit::scan_report read;
  for (const std::string& arguments : given) {
    sweeps.push_back(*parse_sweep(arguments));
    const device::blindscan_request& request = sweeps.back().request;
    for (const device::blindscan_result& record :
         kit::installation_search(sky, request, {100, 5, 3}, dish, faults)) {
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

TEST(RealDish, OscillatorsMeasuredFaultsNamedAndNothingThereBlamed) {
  const std::vector<kit::transponder> list = satellite();
  // The sky some months on: one carrier gone, one new.
  std::vector<kit::transponder> moved_on = list;
  moved_on.erase(moved_on.begin() + 21);
  moved_on.push_back({12'695'000, false, 12000, dvb_s});
  const struct {
    const char* name;
    std::string dish;  // as scanned; the comparison takes the tool's own bands
    const char* fault;
    std::vector<kit::transponder> sky, listed;
    std::set<std::string> findings;
    std::vector<std::string> oscillators;  // as the comparison says them
  } rows[] = {
      {"an ideal dish", "9750,10600", "", list, list, {}, {"low band 9750.0 MHz,", "high band 10600.0 MHz,"}},
      {"an LNB off", "9752.4,10597", "", list, list, {}, {"low band 9752.4 MHz,", "high band 10597.0 MHz,"}},
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
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<kit::installation_fault> faults;
    if (*row.fault != '\0') faults.push_back(**kit::parse_installation_fault(row.fault));
    const comparison compared = compare(
        row.listed, *kit::through(scanned(row.sky, *kit::parse_lnb(row.dish), faults), kit::tool_bands()));
    std::set<std::string> findings;
    for (const finding& found : compared.findings) findings.insert(found.id);
    EXPECT_EQ(findings, row.findings);
    for (size_t i = 0; i < row.oscillators.size(); ++i)
      EXPECT_EQ(compared.oscillators.at(i).name.empty()
                    ? ""
                    : measure_words(compared.oscillators.at(i)).substr(0, row.oscillators[i].size()),
                row.oscillators[i]);
    for (const listed_outcome& outcome : compared.listed)
      EXPECT_NE(outcome.result, verdict::not_found) << outcome.listed.downlink_khz << " " << outcome.detail;
    EXPECT_EQ(exit_status(compared), std::any_of(compared.findings.begin(), compared.findings.end(),
                                                 [](const finding& f) { return f.fault; })
                                         ? 1
                                         : 0);
  }
}

}  // namespace
}  // namespace blindscan::after_scan
