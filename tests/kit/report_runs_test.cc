#include "kit/report_runs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace blindscan::kit {
namespace {

constexpr char open_path[] = "open path /dev/blindscan0\n";

// A report line of the low band at intermediate frequency if_khz.
std::string line(bool vertical, uint32_t if_khz, uint32_t ksym = 27500, uint32_t oscillator_khz = 9'750'000) {
  return std::string("OK ") + (vertical ? "VERTICAL " : "HORIZONTAL ") +
         std::to_string(oscillator_khz + if_khz) + " " + std::to_string(ksym) +
         " DVB-S INVERSION_AUTO PILOT_ON FEC_AUTO QPSK ROLLOFF_35\n";
}
const std::string h = line(false, 1'000'000);
const std::string v = line(true, 1'200'000);

std::vector<sweep> sweeps_of(const std::vector<std::string>& arguments) {
  std::vector<sweep> sweeps;
  for (const std::string& given : arguments) sweeps.push_back(*parse_sweep(given));
  return sweeps;
}
const std::string low_h = "0 950 2150 1 100000 0 0";
const std::string low_v = "0 950 2150 1 100000 1 0";

placed_report placed(const std::vector<std::string>& texts, const std::vector<sweep>& sweeps) {
  std::vector<report_input> inputs;
  for (const std::string& text : texts)
    inputs.push_back(
        {"input" + std::to_string(inputs.size() + 1), *read_report(text, "input", symbol_unit::ksym)});
  return place_runs(inputs, sweeps);
}

// Each layout of a report's runs: the sweep each carrier is placed on, or
// why the runs are not told apart.
TEST(PlaceRuns, EachLayoutIsPlacedOnItsSweepsOrSaysWhyNot) {
  const struct {
    const char* name;
    std::vector<std::string> inputs;
    std::vector<std::string> sweeps;
    std::vector<int> placed;  // each carrier's sweep, in the order read
    const char* untold;       // where the runs are not told apart
  } rows[] = {
      {"a file", {h + open_path + v + open_path}, {low_h, low_v}, {0, 1}, ""},
      {"a terminal", {open_path + h + open_path + v}, {low_h, low_v}, {0, 1}, ""},
      {"a file a run", {h + open_path, v + open_path}, {low_h, low_v}, {0, 1}, ""},
      {"an empty input beside", {h + open_path, ""}, {low_h}, {0}, ""},
      {"lines alone, one sweep", {h}, {low_h}, {0}, ""},
      {"lines alone, two sweeps", {h}, {low_h, low_v}, {}, "input1: no 'open path' line, so which of the 2"},
      {"lines before the first line and after the last",
       {h + open_path + open_path + v},
       {low_h, low_v},
       {},
       "input1: report lines both before its first 'open path' line and after its last"},
      {"first and last runs empty, told by polarisation",
       {open_path + h + open_path},
       {low_v, low_h},
       {1},
       ""},
      {"first and last runs empty, untold", {open_path + h + open_path}, {low_h, low_h}, {}, "found nothing"},
      {"more runs than sweeps", {h + open_path + open_path}, {low_h}, {}, "hold 2 runs of the tool"},
      {"the other polarisation", {v + open_path}, {low_h}, {}, "its polarisation is not the sweep's"},
      {"measured just above the sweep",
       {line(false, 1'506'875) + open_path},
       {"0 950 1500 1 100000 0 0"},
       {0},
       ""},
      {"beyond the sweep",
       {line(false, 1'506'876) + open_path},
       {"0 950 1500 1 100000 0 0"},
       {},
       "beyond the"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const placed_report report = placed(row.inputs, sweeps_of(row.sweeps));
    std::vector<int> sweeps;
    for (const reported_carrier& carrier : report.carriers) sweeps.push_back(carrier.sweep);
    EXPECT_EQ(report.untold.find(row.untold) == std::string::npos, false) << report.untold;
    EXPECT_EQ(runs_told(report), *row.untold == '\0');
    if (runs_told(report)) {
      EXPECT_EQ(sweeps, row.placed);
    }
  }
}

// Through an LNB, a line comes back through its sweep; an untold one through
// every sweep that could have made it, when they agree.
TEST(Through, BringsEachLineThroughTheSweepsThatCouldHaveMadeIt) {
  const struct {
    const char* name;
    std::string input;
    std::vector<sweep> sweeps;
    uint32_t downlink_khz;  // 0: refused
    const char* refusal;
  } rows[] = {
      {"told", line(false, 1'150'000) + open_path, sweeps_of({low_h}), 4'000'000, ""},
      {"untold, only the low band reaches it", line(false, 1'150'000), whole_sweeps(), 4'000'000, ""},
      {"untold, both bands reach it", line(false, 1'150'000, 27500, 10'600'000), whole_sweeps(), 0,
       "no 'open path' line, so which of the 4 sweeps gave its report lines cannot be told; give each "
       "run's output, with its 'open path' line, as a REPORT of its own, or give its one --sweep; and "
       "through "
       "LNB C-BAND it lies at 3150000 kHz by sweep '0 950 2150 1 100000 0 0', at 4000000 kHz by sweep"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const result<placed_report> brought = through(placed({row.input}, row.sweeps), *parse_lnb("C-BAND"));
    if (row.downlink_khz == 0) {
      ASSERT_FALSE(brought);
      EXPECT_NE(brought.error().find(row.refusal), std::string::npos) << brought.error();
      continue;
    }
    ASSERT_TRUE(brought) << brought.error();
    EXPECT_EQ(brought->carriers.at(0).downlink_khz, row.downlink_khz);
  }
}

}  // namespace
}  // namespace blindscan::kit
