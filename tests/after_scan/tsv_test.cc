// The outputs other programs read: their header and a row.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "after_scan/channel_file.h"
#include "after_scan/comparison.h"

namespace blindscan::after_scan {
namespace {

constexpr auto dvb_s = device::delivery_system::dvb_s;
constexpr auto dvb_s2 = device::delivery_system::dvb_s2;
const kit::reported_carrier vertical_8psk{true, 11778000, 27500000, dvb_s2, "OFF",
                                          "ON", "3/4",    "PSK/8",  "25",   0};

struct tsv_case {
  const char* name;
  std::function<std::string()> output;
  const char* expected;
};

void PrintTo(const tsv_case& c, std::ostream* os) { *os << c.name; }

class TabSeparated : public testing::TestWithParam<tsv_case> {};

TEST_P(TabSeparated, HoldsTheHeaderAndOneLinePerRow) { EXPECT_EQ(GetParam().output(), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Outputs, TabSeparated,
    testing::Values(tsv_case{"comparison",
                             [] {
                               const kit::reported_carrier found{false, 11000500, 27400000, dvb_s, "AUTO",
                                                                 "ON",  "AUTO",   "QPSK",   "35",  0,
                                                                 0,     -1,       11000500};
                               const kit::reported_carrier extra{false, 11500000, 22000500, dvb_s, "AUTO",
                                                                 "ON",  "AUTO",   "QPSK",   "35",  0,
                                                                 0,     -1,       11500000};
                               const auto sweep = parse_sweep("0 950 1950 1000 45000 0 0");
                               // Listed vertical first: the table puts H before V at one frequency.
                               return tab_separated_table(
                                   compare({{11000000, true, 27500, dvb_s}, {11000000, false, 27500, dvb_s}},
                                           kit::place_runs({{"report", {{found, extra}, 0}}}, {*sweep})));
                             },
                             "result\tpolarisation\tfrequency_khz\tsymbol_rate\tsystem\tdetail\n"
                             "oscillator\t\t9750000\t1\t\tlow band 9750 MHz as nominal: too few carriers to "
                             "measure it (1 agree)\n"
                             "found\tH\t11000000\t27500000\tDVB-S\t+500 kHz, -100 kSym/s\n"
                             "missed\tV\t11000000\t27500000\tDVB-S\tout of range: the low band reaches it at "
                             "1250.000 MHz\n"
                             "extra\tH\t11500000\t22000500\tDVB-S\tunpublished\n"},
                    tsv_case{
                        "carriers",
                        [] {
                          return carrier_table(
                              {{true, 11778000, 27500000, dvb_s2, "AUTO", "ON", "3/4", "PSK/8", "25", 0}});
                        },
                        "polarisation\tfrequency_khz\tsymbol_rate\tsystem\tmodulation\tcode_rate\troll_off\n"
                        "V\t11778000\t27500000\tDVB-S2\tPSK/8\t3/4\t25\n"},
                    tsv_case{"channel_file", [] { return channel_file({vertical_8psk}); },
                             "# DVBv5 channel file: the transponders a blind scan reported, one entry each\n"
                             "\n[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS2\n\tFREQUENCY = 11778000\n"
                             "\tPOLARIZATION = VERTICAL\n\tSYMBOL_RATE = 27500000\n\tINNER_FEC = 3/4\n"
                             "\tMODULATION = PSK/8\n\tINVERSION = OFF\n\tROLLOFF = 25\n\tPILOT = ON\n"}));

}  // namespace
}  // namespace blindscan::after_scan
