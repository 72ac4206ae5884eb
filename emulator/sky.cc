#include "emulator/sky.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <utility>

namespace blindscan::emulator {

namespace {

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  while (true) {
    at = line.find_first_not_of(" \t\r", at);
    if (at == std::string_view::npos) break;
    const size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
  return fields;
}

// A positive decimal number that fits in 32 bits, digits only.
bool parse_positive(std::string_view text, uint32_t& value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc{} && stop == end && value > 0;
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// One line's four fields as a transponder; the failure says what is wrong.
result<transponder> parse_fields(const std::vector<std::string_view>& fields) {
  transponder out{};
  if (fields.size() != 4)
    return failure{"expected 4 fields (frequency_khz polarisation symbol_rate system), found " +
                   std::to_string(fields.size())};
  if (!parse_positive(fields[0], out.downlink_khz))
    return failure{"frequency " + quoted(fields[0]) + " is not a whole number of kHz from 1 to 4294967295"};
  if (fields[1] == "H" || fields[1] == "h") {
    out.vertical = false;
  } else if (fields[1] == "V" || fields[1] == "v") {
    out.vertical = true;
  } else {
    return failure{"polarisation " + quoted(fields[1]) + " is neither H nor V"};
  }
  if (!parse_positive(fields[2], out.symbol_rate))
    return failure{"symbol rate " + quoted(fields[2]) +
                   " is not a whole number of kSym/s from 1 to 4294967295"};
  if (fields[3] == "DVB-S") {
    out.system = device::delivery_system::dvb_s;
  } else if (fields[3] == "DVB-S2") {
    out.system = device::delivery_system::dvb_s2;
  } else {
    return failure{"delivery system " + quoted(fields[3]) + " is neither DVB-S nor DVB-S2"};
  }
  return out;
}

}  // namespace

result<std::vector<transponder>> parse_sky(std::string_view text, std::string_view source_name) {
  std::vector<transponder> sky;
  // Two carriers cannot share a frequency and a polarisation.
  std::map<std::pair<uint32_t, bool>, int> first_line_of;
  int line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
    line = line.substr(0, line.find('#'));

    const auto fields = split_fields(line);
    if (fields.empty()) continue;
    const auto at_this_line = [&](const std::string& what) {
      return failure{std::string(source_name) + ":" + std::to_string(line_number) + ": " + what};
    };
    const result<transponder> parsed = parse_fields(fields);
    if (!parsed) return at_this_line(parsed.error());
    const auto [where, inserted] =
        first_line_of.emplace(std::pair{parsed->downlink_khz, parsed->vertical}, line_number);
    if (!inserted)
      return at_this_line("transponder " + std::to_string(parsed->downlink_khz) +
                          (parsed->vertical ? " V" : " H") + " already given on line " +
                          std::to_string(where->second));
    sky.push_back(*parsed);
  }
  return sky;
}

uint32_t record_flags(const transponder& found) {
  uint32_t flags = flag_carrier_locked | flag_fec_locked | flag_blind_search;
  if (found.vertical) flags |= flag_vertical;
  return flags | static_cast<uint32_t>(found.system) << device::delivery_system_shift;
}

std::vector<device::blindscan_result> blind_search(const std::vector<transponder>& sky,
                                                   const device::blindscan_request& request) {
  const bool vertical = request.pol != 0;
  const int64_t oscillator = lnb_oscillator_khz(request.hilow_band);
  const int64_t lowest_khz = int64_t{request.min_freq} * 1000;
  const int64_t highest_khz = int64_t{request.max_freq} * 1000;

  std::vector<std::pair<int64_t, const transponder*>> found;
  for (const transponder& candidate : sky) {
    const int64_t tuner_khz = int64_t{candidate.downlink_khz} - oscillator;
    if (candidate.vertical != vertical) continue;
    if (tuner_khz < lowest_khz || tuner_khz > highest_khz) continue;
    if (candidate.symbol_rate < int64_t{request.min_symbol}) continue;
    if (candidate.symbol_rate > int64_t{request.max_symbol}) continue;
    found.emplace_back(tuner_khz, &candidate);
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  std::vector<device::blindscan_result> records;
  records.reserve(found.size());
  for (const auto& [tuner_khz, hit] : found)
    records.push_back({static_cast<uint32_t>(tuner_khz), hit->symbol_rate, record_flags(*hit)});
  return records;
}

}  // namespace blindscan::emulator
