#include "after_scan/channel_file.h"

namespace blindscan::after_scan {

std::string channel_file(const std::vector<kit::reported_carrier>& carriers) {
  std::string text = "# DVBv5 channel file: the transponders a blind scan reported, one entry each\n";
  for (const kit::reported_carrier& carrier : carriers) {
    const auto key = [&text](std::string_view name, std::string_view value) {
      text += "\t" + std::string(name) + " = " + std::string(value) + "\n";
    };
    text += "\n[CHANNEL]\n";
    key("DELIVERY_SYSTEM", carrier.system == device::delivery_system::dvb_s2 ? "DVBS2" : "DVBS");
    key("FREQUENCY", std::to_string(carrier.downlink_khz));
    key("POLARIZATION", carrier.vertical ? "VERTICAL" : "HORIZONTAL");
    key("SYMBOL_RATE", std::to_string(carrier.symbol_rate));
    key("INNER_FEC", carrier.inner_fec);
    key("MODULATION", carrier.modulation);
    key("INVERSION", carrier.inversion);
    key("ROLLOFF", carrier.rolloff);
    key("PILOT", carrier.pilot);
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
