#include "kit/lnb.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "kit/messages.h"
#include "kit/text.h"

namespace blindscan::kit {

namespace {

constexpr uint32_t khz_per_mhz = 1000;

constexpr lnb_path mhz(uint32_t lowest, uint32_t highest, uint32_t oscillator, lnb_band band = lnb_band::any,
                       lnb_polarisation polarisation = lnb_polarisation::either) {
  return {lowest * khz_per_mhz, highest * khz_per_mhz, oscillator * khz_per_mhz, band, polarisation};
}

bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string mhz_text(uint32_t khz) {
  std::string text = std::to_string(khz / khz_per_mhz);
  if (khz % khz_per_mhz == 0) return text;
  std::string fraction = std::to_string(khz % khz_per_mhz + khz_per_mhz).substr(1);
  while (fraction.back() == '0') fraction.pop_back();
  return text + "." + fraction;
}

const std::string& lnb_name(const lnb& dish) { return dish.alias.empty() ? dish.name : dish.alias; }

std::string known_lnb_names() {
  std::string names;
  for (const lnb& type : known_lnbs()) {
    uint32_t lowest = UINT32_MAX;
    uint32_t highest = 0;
    for (const lnb_path& path : type.paths) {
      lowest = std::min(lowest, path.lowest_khz);
      highest = std::max(highest, path.highest_khz);
    }
    names += (names.empty() ? "" : ", ") + lnb_name(type) + " (" + mhz_text(lowest) + "-" +
             mhz_text(highest) + ")";
  }
  return names;
}

namespace {

bool selects(const lnb_path& path, const device::blindscan_request& request) {
  const bool high = request.hilow_band != 0;
  const bool vertical = request.pol != 0;
  const bool band = path.band == lnb_band::any || (path.band == lnb_band::high) == high;
  switch (path.polarisation) {
    case lnb_polarisation::either:
      return band;
    case lnb_polarisation::horizontal:
    case lnb_polarisation::left:
      return band && !vertical;
    case lnb_polarisation::vertical:
    case lnb_polarisation::right:
      return band && vertical;
  }
  return false;
}

bool path_takes(const lnb_path& path, int64_t downlink_khz) {
  return downlink_khz >= path.lowest_khz && downlink_khz <= path.highest_khz;
}

int64_t downlink_through(const lnb_path& path, int64_t intermediate_khz) {
  const int64_t oscillator_khz = path.oscillator_khz;
  return inverted(path) ? (oscillator_khz - intermediate_khz) : (oscillator_khz + intermediate_khz);
}

std::string request_words(const device::blindscan_request& request) {
  return std::string(request.pol != 0 ? "vertical " : "horizontal ") + band_words(request);
}

// The downlinks an oscillator of oscillator_khz brings into the tuner's
// range: above it, or below it where it inverts.
lnb_path reach(uint32_t oscillator_khz) {
  constexpr uint32_t lowest_khz = tuner_lowest_mhz * khz_per_mhz;
  constexpr uint32_t highest_khz = tuner_highest_mhz * khz_per_mhz;
  if (oscillator_khz < inverting_below_mhz * khz_per_mhz)
    return {oscillator_khz - highest_khz, oscillator_khz - lowest_khz, oscillator_khz};
  return {oscillator_khz + lowest_khz, oscillator_khz + highest_khz, oscillator_khz};
}

// MHz written to the kHz at most: "9750", "9752.4", "9752.375".
result<uint32_t> parse_khz_in_mhz(std::string_view field) {
  const size_t point = field.find('.');
  const std::string_view whole = field.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? "" : field.substr(point + 1);
  uint32_t mhz = 0;
  uint32_t khz = 0;
  if (!parse_number(whole, mhz) || mhz > UINT32_MAX / khz_per_mhz || fraction.size() > 3 ||
      (point != std::string_view::npos && !parse_number(fraction, khz)))
    return failure{quoted(field) + " is not a number of MHz, to the kHz at most (9750 or 9752.4)"};
  for (size_t digits = fraction.size(); digits < 3; ++digits) khz *= 10;
  return mhz * khz_per_mhz + khz;
}

// An oscillator's frequency in kHz, within what an LNB may hold.
result<uint32_t> parse_oscillator(std::string_view field) {
  const result<uint32_t> khz = parse_khz_in_mhz(field);
  if (!khz) return failure{khz.error()};
  if (*khz < lowest_oscillator_mhz * khz_per_mhz || *khz > highest_oscillator_mhz * khz_per_mhz)
    return failure{"oscillator " + std::string(field) + " MHz lies outside " +
                   std::to_string(lowest_oscillator_mhz) + "-" + std::to_string(highest_oscillator_mhz) +
                   " MHz"};
  return *khz;
}

result<lnb> from_oscillators(std::string_view text) {
  std::vector<std::string_view> fields;
  for (size_t start = 0; start <= text.size();) {
    const size_t comma = std::min(text.find(',', start), text.size());
    fields.push_back(trimmed(text.substr(start, comma - start)));
    start = comma + 1;
  }
  if (fields.size() > 3)
    return failure{"LNB " + quoted(text) + ": give one oscillator, LOW,HIGH or LOW,HIGH,SWITCH, in MHz"};
  std::vector<uint32_t> numbers;
  for (const std::string_view field : fields) {
    auto number = numbers.size() < 2 ? parse_oscillator(field) : parse_khz_in_mhz(field);
    if (!number) return failure{"LNB " + quoted(text) + ": " + number.error()};
    numbers.push_back(*number);
  }
  if (numbers.size() == 1) return lnb{std::string(text), "", {reach(numbers[0])}};
  if (numbers[0] >= numbers[1])
    return failure{"LNB " + quoted(text) + ": the oscillators are out of order: " + std::string(fields[0]) +
                   " MHz is not below " + std::string(fields[1]) + " MHz"};
  lnb_path low = reach(numbers[0]);
  lnb_path high = reach(numbers[1]);
  low.band = lnb_band::low;
  high.band = lnb_band::high;
  // Without a switch each band takes all it brings into the tuner's range,
  // as a universal LNB's do where their ranges meet.
  if (numbers.size() == 2) return lnb{std::string(text), "", {low, high}};
  const uint32_t switch_khz = numbers[2];
  if (switch_khz < low.lowest_khz || switch_khz > high.highest_khz)
    return failure{"LNB " + quoted(text) + ": the band switch " + std::string(fields[2]) +
                   " MHz lies outside " + mhz_text(low.lowest_khz) + "-" + mhz_text(high.highest_khz) +
                   " MHz, what the oscillators reach"};
  low.highest_khz = std::min<uint32_t>(low.highest_khz, switch_khz);
  high.lowest_khz = std::max<uint32_t>(high.lowest_khz, switch_khz);
  return lnb{std::string(text), "", {low, high}, switch_khz};
}

}  // namespace

const std::vector<lnb>& known_lnbs() {
  using enum lnb_band;
  using enum lnb_polarisation;
  static const std::vector<lnb> types{
      {"EXTENDED",
       "Astra 19.2E, European Universal Ku (extended)",
       {mhz(10700, 11700, 9750, low), mhz(11700, 12750, 10600, high)},
       11'700'000},
      {"UNIVERSAL",
       "Old European Universal. Nowadays mostly replaced by Astra 19.2E",
       {mhz(10800, 11800, 9750, low), mhz(11600, 12700, 10600, high)},
       11'700'000},
      {"DBS", "Expressvu, North America", {mhz(12200, 12700, 11250)}},
      {"STANDARD", "Standard", {mhz(10945, 11450, 10000)}},
      {"L10700", "L10700", {mhz(11750, 12750, 10700)}},
      {"L10750", "L10750", {mhz(11700, 12200, 10750)}},
      {"L11300", "L11300", {mhz(12250, 12750, 11300)}},
      {"ENHANCED", "Astra", {mhz(10700, 11700, 9750)}},
      {"QPH031",
       "Invacom QPH-031",
       {mhz(11700, 12200, 10750, low), mhz(12200, 12700, 11250, high)},
       12'200'000},
      {"C-BAND", "Big Dish - Monopoint LNBf", {mhz(3700, 4200, 5150)}},
      {"C-MULT",
       "Big Dish - Multipoint LNBf",
       {mhz(3700, 4200, 5150, any, right), mhz(3700, 4200, 5750, any, left)}},
      {"DISHPRO",
       "DishPro LNBf",
       {mhz(12200, 12700, 11250, any, vertical), mhz(12200, 12700, 14350, any, horizontal)}},
      {"110BS", "Japan 110BS/CS LNBf", {mhz(11710, 12751, 10678)}},
      {"STACKED-BRASILSAT",
       "BrasilSat Stacked",
       {mhz(10700, 11700, 9710, any, horizontal), mhz(10700, 11700, 9750, any, horizontal)}},
      {"OI-BRASILSAT",
       "BrasilSat Oi",
       {mhz(10950, 11200, 10000, low), mhz(11800, 12200, 10445, high)},
       11'700'000},
      {"AMAZONAS",
       "BrasilSat Amazonas 1/2 - 3 Oscilators",
       {mhz(11037, 11450, 9670, any, vertical), mhz(11770, 12070, 9922, any, horizontal),
        mhz(10950, 11280, 10000, any, horizontal)}},
      // dvb-tools list a second type of this name, which their name alone
      // cannot select: here its own name does.
      {"AMAZONAS",
       "BrasilSat Amazonas 1/2 - 2 Oscilators",
       {mhz(11037, 11360, 9670, any, vertical), mhz(11780, 12150, 10000, any, horizontal),
        mhz(10950, 11280, 10000, any, horizontal)},
       0,
       "AMAZONAS-2"},
      {"GVT-BRASILSAT",
       "BrasilSat custom GVT",
       {mhz(11010, 11067, 12860, any, vertical), mhz(11704, 11941, 13435, any, vertical),
        mhz(10962, 11199, 13112, any, horizontal), mhz(11704, 12188, 13138, any, horizontal)}},
  };
  return types;
}

lnb tool_bands() {
  return {"the tool's own bands",
          "the oscillators the tool's report adds",
          {{0, UINT32_MAX, device::low_band_offset_khz, lnb_band::low},
           {0, UINT32_MAX, device::high_band_offset_khz, lnb_band::high}}};
}

result<lnb> parse_lnb(std::string_view text) {
  text = trimmed(text);
  // A name first: some start with a digit (110BS).
  for (const lnb& known : known_lnbs())
    if (same_name(lnb_name(known), text)) return known;
  if (!text.empty() && std::isdigit(static_cast<unsigned char>(text.front()))) return from_oscillators(text);
  return failure{
      "unknown LNB " + quoted(text) + ": give one of " + known_lnb_names() +
      " (the downlinks each takes, MHz), or its oscillators in MHz as LOW, LOW,HIGH or LOW,HIGH,SWITCH"};
}

std::vector<lnb_path> selected_paths(const lnb& dish, const device::blindscan_request& request) {
  std::vector<lnb_path> paths;
  std::copy_if(dish.paths.begin(), dish.paths.end(), std::back_inserter(paths),
               [&](const lnb_path& path) { return selects(path, request); });
  return paths;
}

std::optional<int64_t> intermediate_khz(const lnb& dish, const device::blindscan_request& request,
                                        uint32_t downlink_khz) {
  for (const lnb_path& path : dish.paths)
    if (selects(path, request) && path_takes(path, downlink_khz))
      return inverted(path) ? (int64_t{path.oscillator_khz} - downlink_khz)
                            : (int64_t{downlink_khz} - path.oscillator_khz);
  return std::nullopt;
}

result<int64_t> downlink_khz(const lnb& dish, const device::blindscan_request& request,
                             int64_t intermediate_khz) {
  const std::vector<lnb_path> paths = selected_paths(dish, request);
  if (paths.empty())
    return failure{"LNB " + dish.name + " delivers nothing on the " + request_words(request)};
  for (const lnb_path& path : paths)
    if (path_takes(path, downlink_through(path, intermediate_khz)))
      return downlink_through(path, intermediate_khz);
  const bool one_conversion = std::all_of(paths.begin(), paths.end(), [&](const lnb_path& path) {
    return path.oscillator_khz == paths[0].oscillator_khz && inverted(path) == inverted(paths[0]);
  });
  if (one_conversion) return downlink_through(paths[0], intermediate_khz);
  return failure{"LNB " + dish.name + " delivers no downlink at " + std::to_string(intermediate_khz) +
                 " kHz on the " + request_words(request)};
}

result<uint32_t> reported_downlink_khz(const lnb& dish, const device::blindscan_request& request,
                                       uint32_t reported_khz) {
  const int64_t tuner_khz = int64_t{reported_khz} - device::lnb_offset_khz(request.hilow_band);
  const result<int64_t> downlink = downlink_khz(dish, request, tuner_khz);
  if (!downlink) return failure{downlink.error()};
  if (*downlink < 1 || *downlink > UINT32_MAX)
    return failure{"LNB " + dish.name + " brings " + std::to_string(tuner_khz) + " kHz on the " +
                   request_words(request) + " to " + std::to_string(*downlink) +
                   " kHz, no downlink frequency"};
  return static_cast<uint32_t>(*downlink);
}

uint32_t oscillator_for(const lnb& dish, const device::blindscan_request& request, uint32_t downlink_khz) {
  const lnb_path* first = nullptr;
  for (const lnb_path& path : dish.paths) {
    if (!selects(path, request)) continue;
    if (path_takes(path, downlink_khz)) return path.oscillator_khz;
    if (first == nullptr) first = &path;
  }
  return first != nullptr ? first->oscillator_khz : 0;
}

const char* band_words(const device::blindscan_request& request) {
  return request.hilow_band != 0 ? "high band" : "low band";
}

bool takes(const lnb& dish, uint32_t downlink_khz) {
  return std::any_of(dish.paths.begin(), dish.paths.end(),
                     [&](const lnb_path& path) { return path_takes(path, downlink_khz); });
}

}  // namespace blindscan::kit
