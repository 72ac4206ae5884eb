#include "common/report_words.h"
#include "device/decimal.h"
#include "report/report.h"

namespace blindscan::report {

namespace {

// Copies text without its terminator, then after; returns the end of what
// was copied.
char* append_word(char* out, const char* text, char after = ' ') {
  while (*text != '\0') *out++ = *text++;
  *out = after;
  return out + 1;
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

  // The fields in their order; the modulation follows from the delivery
  // system alone.
  namespace words = common::report_words;
  const bool dvb_s2 = system == device::delivery_system::dvb_s2;
  char* end = out + used;
  end = append_word(end, words::ok);
  end = append_word(end, pol != 0 ? words::vertical : words::horizontal);
  end = append_number(end, downlink_frequency_khz(record.frequency, hilow_band));
  end = append_number(end, record.symbol_rate);
  end = append_word(end, dvb_s2 ? words::dvb_s2 : words::dvb_s);
  end = append_word(end, words::inversion_auto);
  end = append_word(end, words::pilot_on);
  end = append_word(end, words::fec_auto);
  end = append_word(end, dvb_s2 ? words::psk_8 : words::qpsk);
  end = append_word(end, words::rolloff_35, '\n');
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
