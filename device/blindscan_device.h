// The blind-scan character device: node name, scan request block, request
// code and result record.  This header is the one place these layouts are
// defined; the tool, its tests and the driver stand-in all include it.
#pragma once

#include <linux/ioctl.h>
#include <stddef.h>
#include <stdint.h>

namespace blindscan::device {

// Node name: this prefix followed by the device number in signed decimal.
inline constexpr char node_prefix[] = "/dev/blindscan";
// The area the path is built in; the longest path ("/dev/blindscan-2147483648")
// is 25 characters.
inline constexpr size_t path_area_size = 128;
inline constexpr size_t longest_path_length = sizeof(node_prefix) - 1 + 11;
static_assert(longest_path_length == 25 && longest_path_length < path_area_size);

// The scan request: six signed 32-bit fields in native byte order, no gaps.
struct blindscan_request {
  int32_t min_freq;
  int32_t max_freq;
  int32_t min_symbol;
  int32_t max_symbol;
  int32_t pol;         // 0 horizontal, anything else vertical
  int32_t hilow_band;  // 0 low band, anything else high band
};
static_assert(sizeof(blindscan_request) == 24);
static_assert(offsetof(blindscan_request, min_freq) == 0);
static_assert(offsetof(blindscan_request, max_freq) == 4);
static_assert(offsetof(blindscan_request, min_symbol) == 8);
static_assert(offsetof(blindscan_request, max_symbol) == 12);
static_assert(offsetof(blindscan_request, pol) == 16);
static_assert(offsetof(blindscan_request, hilow_band) == 20);

// One transponder found by the scan: three 32-bit words in native byte order.
struct blindscan_result {
  uint32_t frequency;    // kHz at the tuner input
  uint32_t symbol_rate;  // the driver's unit, printed unchanged
  uint32_t flags;        // bits 2 to 4: delivery system; no other bit is read
};
static_assert(sizeof(blindscan_result) == 12);
static_assert(offsetof(blindscan_result, frequency) == 0);
static_assert(offsetof(blindscan_result, symbol_rate) == 4);
static_assert(offsetof(blindscan_result, flags) == 8);

// The local-oscillator frequency of the LNB band that hilow_band selects,
// kHz: the tuner sees a carrier this far below its downlink frequency.
inline constexpr uint32_t low_band_offset_khz = 9'750'000;
inline constexpr uint32_t high_band_offset_khz = 10'600'000;

constexpr uint32_t lnb_offset_khz(int32_t hilow_band) {
  return hilow_band == 0 ? low_band_offset_khz : high_band_offset_khz;
}

// The request code: write direction, type 'b', number 1, size of the block.
inline constexpr unsigned long AVL2108_SET_PARAMETER = _IOW('b', 1, blindscan_request);
#if defined(__mips__)
static_assert(AVL2108_SET_PARAMETER == 0x80186201UL);
#elif defined(__x86_64__) || defined(__i386__) || defined(__aarch64__) || defined(__arm__)
static_assert(AVL2108_SET_PARAMETER == 0x40186201UL);
#endif

// One read fetches at most this many records into an area of exactly
// max_records * sizeof(blindscan_result) bytes.
inline constexpr int max_records = 120;
static_assert(max_records * sizeof(blindscan_result) == 1440);

// Whole records in a read of byte_count bytes; a trailing partial record is
// ignored.
constexpr int record_count(size_t byte_count) {
  return static_cast<int>(byte_count / sizeof(blindscan_result));
}

enum class delivery_system : uint32_t { dvb_s = 0, dvb_s2 = 1 };

inline constexpr uint32_t delivery_system_mask = 0x1c;
inline constexpr unsigned delivery_system_shift = 2;

// The raw 3-bit value, 0 to 7; only 0 and 1 name a delivery system.
constexpr uint32_t delivery_system_bits(uint32_t flags) {
  return (flags & delivery_system_mask) >> delivery_system_shift;
}

// Decodes a record's delivery system; false for the unrecognised values 2 to 7.
constexpr bool decode_delivery_system(uint32_t flags, delivery_system& out) {
  const uint32_t bits = delivery_system_bits(flags);
  if (bits > static_cast<uint32_t>(delivery_system::dvb_s2)) return false;
  out = static_cast<delivery_system>(bits);
  return true;
}

// Writes node_prefix and device_number ("%s%d") into a cleared area of
// path_area_size bytes.
void format_device_path(char (&path)[path_area_size], int32_t device_number);

}  // namespace blindscan::device
