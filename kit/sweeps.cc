#include "kit/sweeps.h"

#include "common/convert_argument.h"
#include "kit/messages.h"
#include "kit/text.h"

namespace blindscan::kit {

result<sweep> parse_sweep(std::string_view arguments) {
  const std::string shown = "sweep " + quoted(arguments);
  const std::vector<std::string_view> words = split_fields(arguments);
  if (words.size() != 7)
    return failure{shown +
                   ": expected the tool's 7 arguments (device min_freq max_freq min_symbol max_symbol pol " +
                   "hilow_band), found " + std::to_string(words.size())};
  int32_t values[7] = {};
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string word(words[i]);
    const char* stop = nullptr;
    values[i] = common::convert_argument(word.c_str(), &stop);
    if (stop == word.c_str() || *stop != '\0')
      return failure{shown + ": " + quoted(word) + " is not a whole number as the tool reads one (decimal, " +
                     "0x hexadecimal or 0 octal); the tool would take it as " + std::to_string(values[i])};
  }
  const device::blindscan_request request{values[1], values[2], values[3], values[4], values[5], values[6]};
  if (request.min_freq > request.max_freq) return failure{shown + ": min_freq is above max_freq"};
  if (request.min_symbol > request.max_symbol) return failure{shown + ": min_symbol is above max_symbol"};
  return sweep{request, std::string(trimmed(arguments))};
}

std::vector<sweep> whole_sweeps() {
  std::vector<sweep> sweeps;
  for (int32_t band = 0; band <= 1; ++band)
    for (int32_t pol = 0; pol <= 1; ++pol) {
      const device::blindscan_request request{static_cast<int32_t>(tuner_lowest_mhz),
                                              static_cast<int32_t>(tuner_highest_mhz),
                                              whole_sweep_min_symbol,
                                              whole_sweep_max_symbol,
                                              pol,
                                              band};
      std::string arguments = "0";
      for (const int32_t value : {request.min_freq, request.max_freq, request.min_symbol, request.max_symbol,
                                  request.pol, request.hilow_band})
        arguments += " " + std::to_string(value);
      sweeps.push_back({request, arguments, false});
    }
  return sweeps;
}

}  // namespace blindscan::kit
