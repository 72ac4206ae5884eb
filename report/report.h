// The transponder report: one line of ten tokens per result record,
// assembled in full in a static buffer and then written to standard output.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "device/blindscan_device.h"

namespace blindscan::report {

inline constexpr size_t report_buffer_size = 65535;
// "OK HORIZONTAL 4294967295 4294967295 DVB-S2 INVERSION_AUTO PILOT_ON FEC_AUTO 8PSK ROLLOFF_35\n"
inline constexpr size_t max_line_length = 92;
static_assert(device::max_records * max_line_length <= report_buffer_size,
              "the largest scan must fit in the report buffer");

// The static area the report is assembled in.  The run clears it once the
// argument count has been found right.  (A declaration only, zero-initialised
// where it is defined: nothing is initialised dynamically.)
// NOLINTNEXTLINE(bugprone-dynamic-static-initializers)
extern char report_buffer[report_buffer_size];

// Downlink frequency: tuner frequency plus the band's offset, modulo 2^32.
constexpr uint32_t downlink_frequency_khz(uint32_t frequency, int32_t hilow_band) {
  return frequency + device::lnb_offset_khz(hilow_band);
}

// Appends one record's line at out[length]; returns the new length, or -1
// when the record carries an unrecognised delivery system or the line would
// not fit in capacity bytes (nothing is appended then).
int append_line(char* out, size_t capacity, int length, const device::blindscan_result& record, int32_t pol,
                int32_t hilow_band);

// Builds the whole report over count records into out; returns its length,
// or -1 when any record carries an unrecognised delivery system: then no
// part of the report is to be written.
int build_report(char* out, size_t capacity, const device::blindscan_result* records, int count, int32_t pol,
                 int32_t hilow_band);

}  // namespace blindscan::report
