#include <stdio.h>

#include "report/report.h"

namespace blindscan::report {

namespace {

const char* polarisation_word(int32_t pol) { return pol != 0 ? "VERTICAL " : "HORIZONTAL "; }

const char* system_word(device::delivery_system system) {
  return system == device::delivery_system::dvb_s2 ? "DVB-S2 " : "DVB-S ";
}

// The modulation follows from the delivery system alone.
const char* modulation_word(device::delivery_system system) {
  return system == device::delivery_system::dvb_s2 ? "8PSK " : "QPSK ";
}

}  // namespace

int append_line(char* out, size_t capacity, int length, const device::blindscan_result& record, int32_t pol,
                int32_t hilow_band) {
  device::delivery_system system{};
  if (!device::decode_delivery_system(record.flags, system)) return -1;
  const size_t used = static_cast<size_t>(length);
  // Room for the longest line plus the terminator snprintf writes.
  if (used > capacity || capacity - used < max_line_length + 1) return -1;

  const int written = snprintf(
      out + used, capacity - used, "OK %s%u %u %sINVERSION_AUTO PILOT_ON FEC_AUTO %sROLLOFF_35\n",
      polarisation_word(pol), static_cast<unsigned>(downlink_frequency_khz(record.frequency, hilow_band)),
      static_cast<unsigned>(record.symbol_rate), system_word(system), modulation_word(system));
  return length + written;
}

int build_report(char* out, size_t capacity, const device::blindscan_result* records, int count, int32_t pol,
                 int32_t hilow_band) {
  int length = 0;
  for (int i = 0; i < count; ++i) {
    length = append_line(out, capacity, length, records[i], pol, hilow_band);
    if (length < 0) return -1;
  }
  return length;
}

}  // namespace blindscan::report
