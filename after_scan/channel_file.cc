#include "after_scan/channel_file.h"

#include "kit/channel_keys.h"

namespace blindscan::after_scan {

std::string channel_file(const std::vector<kit::reported_carrier>& carriers) {
  std::string text = "# DVBv5 channel file: the transponders a blind scan reported, one entry each\n";
  for (const kit::reported_carrier& carrier : carriers) {
    const auto key = [&text](std::string_view name, std::string_view value) {
      text += "\t" + std::string(name) + " = " + std::string(value) + "\n";
    };
    text += "\n[CHANNEL]\n";
    namespace keys = kit::channel_keys;
    key(keys::delivery_system, keys::system_value(carrier.system));
    key(keys::frequency, std::to_string(carrier.downlink_khz));
    key(keys::polarization, keys::polarization_value(carrier.vertical));
    key(keys::symbol_rate, std::to_string(carrier.symbol_rate));
    key(keys::inner_fec, carrier.inner_fec);
    key(keys::modulation, carrier.modulation);
    key(keys::inversion, carrier.inversion);
    key(keys::rolloff, carrier.rolloff);
    key(keys::pilot, carrier.pilot);
  }
  return text;
}

std::string carrier_table(const std::vector<kit::reported_carrier>& carriers) {
  std::string text = carrier_tsv_header;
  for (const kit::reported_carrier& carrier : carriers)
    text += std::string(kit::polarisation_letter(carrier.vertical)) + "\t" +
            std::to_string(carrier.downlink_khz) + "\t" + std::to_string(carrier.symbol_rate) + "\t" +
            kit::system_name(carrier.system) + "\t" + std::string(carrier.modulation) + "\t" +
            std::string(carrier.inner_fec) + "\t" + std::string(carrier.rolloff) + "\n";
  return text;
}

}  // namespace blindscan::after_scan
