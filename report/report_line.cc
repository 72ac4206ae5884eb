#include "device/decimal.h"
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

// Copies text without its terminator; returns the end of what was copied.
char* append_text(char* out, const char* text) {
  while (*text != '\0') *out++ = *text++;
  return out;
}

char* append_number(char* out, uint32_t value) {
  out += device::format_unsigned_decimal(out, value);
  *out = ' ';
  return out + 1;
}

}  // namespace

int append_line(char* out, size_t capacity, int length, const device::blindscan_result& record, int32_t pol,
                int32_t hilow_band) {
  device::delivery_system system{};
  if (!device::decode_delivery_system(record.flags, system)) return -1;
  const size_t used = static_cast<size_t>(length);
  // Room for the longest line, whatever this record's numbers.
  if (used > capacity || capacity - used < max_line_length) return -1;

  char* end = out + used;
  end = append_text(end, "OK ");
  end = append_text(end, polarisation_word(pol));
  end = append_number(end, downlink_frequency_khz(record.frequency, hilow_band));
  end = append_number(end, record.symbol_rate);
  end = append_text(end, system_word(system));
  end = append_text(end, "INVERSION_AUTO PILOT_ON FEC_AUTO ");
  end = append_text(end, modulation_word(system));
  end = append_text(end, "ROLLOFF_35\n");
  return static_cast<int>(end - out);
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
