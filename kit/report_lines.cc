#include "kit/report_lines.h"

#include <algorithm>
#include <string>

#include "kit/messages.h"
#include "kit/text.h"

namespace blindscan::kit {

namespace {

// A report word and how a channel file spells it.
struct spelling {
  std::string_view report;
  std::string_view channel_file;
};

constexpr spelling inversions[] = {
    {"INVERSION_AUTO", "AUTO"}, {"INVERSION_ON", "ON"}, {"INVERSION_OFF", "OFF"}};
constexpr spelling pilots[] = {{"PILOT_AUTO", "AUTO"}, {"PILOT_ON", "ON"}, {"PILOT_OFF", "OFF"}};
constexpr spelling inner_fecs[] = {{"FEC_AUTO", "AUTO"}, {"FEC_NONE", "NONE"}, {"FEC_1_2", "1/2"},
                                   {"FEC_2_3", "2/3"},   {"FEC_3_4", "3/4"},   {"FEC_3_5", "3/5"},
                                   {"FEC_4_5", "4/5"},   {"FEC_5_6", "5/6"},   {"FEC_6_7", "6/7"},
                                   {"FEC_7_8", "7/8"},   {"FEC_8_9", "8/9"},   {"FEC_9_10", "9/10"}};
constexpr spelling modulations[] = {
    {"QPSK", "QPSK"}, {"8PSK", "PSK/8"}, {"16APSK", "APSK/16"}, {"32APSK", "APSK/32"}};
constexpr spelling rolloffs[] = {
    {"ROLLOFF_35", "35"}, {"ROLLOFF_25", "25"}, {"ROLLOFF_20", "20"}, {"ROLLOFF_AUTO", "AUTO"}};

template <size_t count>
bool spelt(std::string_view word, const spelling (&table)[count], std::string_view& out) {
  for (const spelling& known : table)
    if (known.report == word) {
      out = known.channel_file;
      return true;
    }
  return false;
}

constexpr uint64_t symbols_per_unit(symbol_unit unit) {
  return unit == symbol_unit::sym ? 1 : unit == symbol_unit::ksym ? 1000 : 1000000;
}

// The ten words of a report line as a carrier; the failure says which word
// is wrong.
result<reported_carrier> parse_words(const std::vector<std::string_view>& words, symbol_unit unit) {
  reported_carrier out{};
  if (words.size() != 10)
    return failure{"expected the 10 words of a report line, found " + std::to_string(words.size())};
  if (words[1] == "HORIZONTAL" || words[1] == "VERTICAL")
    out.vertical = words[1] == "VERTICAL";
  else
    return failure{"polarisation " + quoted(words[1]) + " is neither HORIZONTAL nor VERTICAL"};
  uint64_t number = 0;
  if (!parse_positive(words[2], number) || number > UINT32_MAX)
    return failure{"frequency " + quoted(words[2]) + " is not a whole number of kHz from 1 to 4294967295"};
  out.downlink_khz = static_cast<uint32_t>(number);
  if (!parse_positive(words[3], number) || number > UINT32_MAX / symbols_per_unit(unit))
    return failure{"symbol rate " + quoted(words[3]) + " is not a whole number from 1 to " +
                   std::to_string(UINT32_MAX / symbols_per_unit(unit)) + " in the report's unit"};
  out.symbol_rate = number * symbols_per_unit(unit);
  if (words[4] == "DVB-S" || words[4] == "DVB-S2")
    out.system = words[4] == "DVB-S2" ? device::delivery_system::dvb_s2 : device::delivery_system::dvb_s;
  else
    return failure{"delivery system " + quoted(words[4]) + " is neither DVB-S nor DVB-S2"};
  if (!spelt(words[5], inversions, out.inversion)) return failure{"unknown inversion " + quoted(words[5])};
  if (!spelt(words[6], pilots, out.pilot)) return failure{"unknown pilot " + quoted(words[6])};
  if (!spelt(words[7], inner_fecs, out.inner_fec)) return failure{"unknown code rate " + quoted(words[7])};
  if (!spelt(words[8], modulations, out.modulation)) return failure{"unknown modulation " + quoted(words[8])};
  if (!spelt(words[9], rolloffs, out.rolloff)) return failure{"unknown roll-off " + quoted(words[9])};
  return out;
}

}  // namespace

result<symbol_unit> parse_symbol_unit(std::string_view name) {
  if (name == "Sym/s") return symbol_unit::sym;
  if (name == "kSym/s") return symbol_unit::ksym;
  if (name == "MSym/s") return symbol_unit::msym;
  return failure{"unknown symbol-rate unit " + quoted(name) + " (Sym/s, kSym/s or MSym/s)"};
}

result<scan_report> read_report(std::string_view text, std::string_view source_name, symbol_unit unit,
                                int first_run) {
  scan_report read;
  for (const content_line& line : content_lines(text)) {
    const std::vector<std::string_view> words = split_fields(line.text);
    if (words.size() >= 2 && words[0] == "open" && words[1] == "path") ++read.open_paths;
    if (words.front() != "OK") continue;
    result<reported_carrier> carrier = parse_words(words, unit);
    if (!carrier)
      return at_line(
          source_name, line.number,
          "not a whole report line (" + carrier.error() + "): " + quoted(line.text.substr(0, 100)));
    carrier->run = first_run + read.open_paths;
    read.carriers.push_back(*carrier);
  }
  return read;
}

uint64_t distance(uint64_t a, uint64_t b) { return a > b ? a - b : b - a; }

bool within_tolerance(uint32_t khz_a, uint64_t rate_a, uint32_t khz_b, uint64_t rate_b,
                      uint64_t symbol_rate) {
  // A quarter of the rate in symbols per second, as kHz: rate / 4000.
  return distance(khz_a, khz_b) * 4000 <= symbol_rate && distance(rate_a, rate_b) * 4 <= symbol_rate;
}

std::vector<reported_carrier> distinct_carriers(const std::vector<reported_carrier>& carriers) {
  std::vector<reported_carrier> kept;
  for (const reported_carrier& carrier : carriers) {
    const bool seen = std::any_of(kept.begin(), kept.end(), [&](const reported_carrier& earlier) {
      if (earlier.vertical != carrier.vertical) return false;
      if (earlier.run != carrier.run)
        return within_tolerance(earlier.downlink_khz, earlier.symbol_rate, carrier.downlink_khz,
                                carrier.symbol_rate, earlier.symbol_rate);
      return earlier.downlink_khz == carrier.downlink_khz && earlier.symbol_rate == carrier.symbol_rate &&
             earlier.system == carrier.system;
    });
    if (!seen) kept.push_back(carrier);
  }
  std::stable_sort(kept.begin(), kept.end(), [](const reported_carrier& a, const reported_carrier& b) {
    return a.downlink_khz != b.downlink_khz ? a.downlink_khz < b.downlink_khz : a.vertical < b.vertical;
  });
  return kept;
}

}  // namespace blindscan::kit
