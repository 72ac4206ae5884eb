#include "kit/report_lines.h"

#include <algorithm>
#include <span>
#include <string>

#include "common/report_words.h"
#include "kit/messages.h"
#include "kit/text.h"

namespace blindscan::kit {

namespace {

namespace words = common::report_words;

// The channel file's spelling of word, a report word of table; false for a
// word the table does not hold.
bool spelt(std::string_view word, std::span<const words::spelling> table, std::string_view& out) {
  for (const words::spelling& known : table)
    if (known.report == word) {
      out = known.channel_file;
      return true;
    }
  return false;
}

// Whether a line's fields are those of an "open path" line, however spaced.
bool opens_path(const std::vector<std::string_view>& fields) {
  static const std::vector<std::string_view> opening = split_fields(words::open_path);
  return fields.size() >= opening.size() && std::equal(opening.begin(), opening.end(), fields.begin());
}

constexpr uint64_t symbols_per_unit(symbol_unit unit) {
  return unit == symbol_unit::sym ? 1 : unit == symbol_unit::ksym ? 1000 : 1000000;
}

// The ten words of a report line as a carrier; the failure says which word
// is wrong.
result<reported_carrier> parse_words(const std::vector<std::string_view>& fields, symbol_unit unit) {
  reported_carrier out{};
  if (fields.size() != words::field_count)
    return failure{"expected the " + std::to_string(words::field_count) + " words of a report line, found " +
                   std::to_string(fields.size())};
  const std::string_view polarisation = fields[words::polarisation_field];
  if (polarisation != words::horizontal && polarisation != words::vertical)
    return failure{"polarisation " + quoted(polarisation) + " is neither " + words::horizontal + " nor " +
                   words::vertical};
  out.vertical = polarisation == words::vertical;
  uint64_t number = 0;
  const std::string_view frequency = fields[words::frequency_field];
  if (!parse_positive(frequency, number) || number > UINT32_MAX)
    return failure{"frequency " + quoted(frequency) + " is not a whole number of kHz from 1 to 4294967295"};
  out.downlink_khz = static_cast<uint32_t>(number);
  out.reported_khz = out.downlink_khz;
  const std::string_view rate = fields[words::symbol_rate_field];
  if (!parse_positive(rate, number) || number > UINT32_MAX / symbols_per_unit(unit))
    return failure{"symbol rate " + quoted(rate) + " is not a whole number from 1 to " +
                   std::to_string(UINT32_MAX / symbols_per_unit(unit)) + " in the report's unit"};
  out.symbol_rate = number * symbols_per_unit(unit);
  const std::string_view system = fields[words::system_field];
  if (system != words::dvb_s && system != words::dvb_s2)
    return failure{"delivery system " + quoted(system) + " is neither " + words::dvb_s + " nor " +
                   words::dvb_s2};
  out.system = system == words::dvb_s2 ? device::delivery_system::dvb_s2 : device::delivery_system::dvb_s;
  const struct {
    words::field field;
    const char* what;
    std::span<const words::spelling> table;
    std::string_view& value;
  } spelt_fields[] = {{words::inversion_field, "inversion", words::inversions, out.inversion},
                      {words::pilot_field, "pilot", words::pilots, out.pilot},
                      {words::inner_fec_field, "code rate", words::inner_fecs, out.inner_fec},
                      {words::modulation_field, "modulation", words::modulations, out.modulation},
                      {words::rolloff_field, "roll-off", words::rolloffs, out.rolloff}};
  for (const auto& spelt_field : spelt_fields)
    if (!spelt(fields[spelt_field.field], spelt_field.table, spelt_field.value))
      return failure{"unknown " + std::string(spelt_field.what) + " " + quoted(fields[spelt_field.field])};
  return out;
}

}  // namespace

result<symbol_unit> parse_symbol_unit(std::string_view name) {
  if (name == "Sym/s") return symbol_unit::sym;
  if (name == "kSym/s") return symbol_unit::ksym;
  if (name == "MSym/s") return symbol_unit::msym;
  return failure{"unknown symbol-rate unit " + quoted(name) + " (Sym/s, kSym/s or MSym/s)"};
}

result<scan_report> read_report(std::string_view text, std::string_view source_name, symbol_unit unit) {
  scan_report read;
  for (const content_line& line : content_lines(text)) {
    const std::vector<std::string_view> fields = split_fields(line.text);
    if (opens_path(fields)) ++read.open_paths;
    if (fields.front() != words::ok) continue;
    result<reported_carrier> carrier = parse_words(fields, unit);
    if (!carrier)
      return at_line(
          source_name, line.number,
          "not a whole report line (" + carrier.error() + "): " + quoted(line.text.substr(0, 100)));
    carrier->run = read.open_paths;
    read.carriers.push_back(*carrier);
  }
  return read;
}

uint64_t distance(uint64_t a, uint64_t b) { return a > b ? a - b : b - a; }

bool within_tolerance(uint32_t khz_a, uint64_t rate_a, uint32_t khz_b, uint64_t rate_b,
                      uint64_t symbol_rate) {
  // The rate is in symbols per second, the frequencies in kHz.
  return distance(khz_a, khz_b) * tolerance_parts * 1000 <= symbol_rate &&
         distance(rate_a, rate_b) * tolerance_parts <= symbol_rate;
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
