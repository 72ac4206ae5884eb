#include "kit/shared_options.h"

#include "device/blindscan_device.h"
#include "kit/sky_file.h"

namespace blindscan::kit {

namespace {

// How an LNB is named, as parse_lnb reads it.
constexpr char lnb_naming[] =
    "a type by name, in any case, one of {lnb names} (the types and ranges dvbv5-scan -l help lists), or its "
    "oscillators in MHz to the kHz (9752.4): LOW alone; LOW,HIGH, the 22 kHz tone selecting HIGH, each "
    "taking "
    "all it brings into the tuner's range; or LOW,HIGH,SWITCH, where LOW serves the downlinks up to SWITCH "
    "and "
    "HIGH those from it; an oscillator above its band, as in C-band, inverts the spectrum";

std::string mhz(uint32_t khz) { return std::to_string(khz / 1000); }

}  // namespace

std::vector<help_fact> shared_help_facts() {
  return {{"{lnb naming}", lnb_naming},
          {"{lnb names}", known_lnb_names()},
          {"{tool bands}", tool_bands().description},
          {"{tool oscillators}",
           mhz(device::low_band_offset_khz) + " and " + mhz(device::high_band_offset_khz) + " MHz"},
          {"{whole sweep}", std::to_string(tuner_lowest_mhz) + "-" + std::to_string(tuner_highest_mhz) +
                                " MHz, " + std::to_string(whole_sweep_min_symbol) + "-" +
                                std::to_string(whole_sweep_max_symbol) + " kSym/s"},
          {"{lists}", std::string(published_lists_directory)}};
}

result<lnb> read_lnb(std::string_view option, const char* value) {
  result<lnb> dish = parse_lnb(value);
  if (!dish) return failure{std::string(option) + ": " + dish.error()};
  return dish;
}

}  // namespace blindscan::kit
