// What the comparison's parts share: what a sweep reaches of a listed
// transponder, where the tuner sees it, and which reported carrier is
// which listed transponder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "after_scan/oscillators.h"
#include "device/blindscan_device.h"
#include "kit/lnb.h"
#include "kit/report_lines.h"
#include "kit/transponder.h"

namespace blindscan::after_scan {

// A listed transponder's symbol rate, symbols per second.
inline uint64_t listed_rate(const kit::transponder& listed) { return uint64_t{listed.symbol_rate} * 1000; }

// Whether the blind search with request finds carrier through dish.
bool reaches(const kit::transponder& carrier, const device::blindscan_request& request, const kit::lnb& dish);

// request over every symbol rate.
device::blindscan_request any_rate(device::blindscan_request request);

// The intermediate frequency, kHz, at which request brings downlink_khz to
// the tuner through dish; a downlink beyond what the dish takes as the
// request's first path would bring it, since a line may lie there.
int64_t tuner_khz(uint32_t downlink_khz, const device::blindscan_request& request, const kit::lnb& dish);

// Symbols per second as kSym/s: whole where it is, else to the symbol; with
// sign, signed.
std::string ksym_text(int64_t symbols, bool sign = false);

// "+500 kHz, -100 kSym/s": how far a carrier lies off a listed one.
std::string offsets_text(int64_t khz, int64_t symbols);

// Whether carrier is the listed transponder: within the tolerance of the
// listed values (its polarisation not compared).
bool matches_listed(const kit::reported_carrier& carrier, const kit::transponder& listed);

// Whether carrier is listed, of its polarisation, within the tolerance.
bool is_listed(const kit::reported_carrier& carrier, const listed_by_frequency& list);

// The listed transponders of a polarisation that the other does not list
// alike (as on a satellite whose polarisations share frequencies).
std::vector<kit::transponder> listed_only(const std::vector<kit::transponder>& list,
                                          const listed_by_frequency& index, bool vertical);

// The carrier of each listed transponder (by its index in list), or
// nothing: each carrier is one listed transponder of its polarisation
// within the tolerance of the listed values, each listed one at most one
// carrier, and as many pairs are made as can be, each carrier trying the
// nearest first, so that two listed carriers close together, each measured
// nearer the other, are both found.
std::vector<std::optional<size_t>> pair_up(const std::vector<kit::reported_carrier>& carriers,
                                           const std::vector<kit::transponder>& list,
                                           const listed_by_frequency& index);

}  // namespace blindscan::after_scan
