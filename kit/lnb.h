// The dish's LNB: which downlinks it takes, and the oscillator that brings
// each to the intermediate frequency the tuner sees, for the band (the
// 22 kHz tone) and the polarisation (the supply voltage) a scan request
// selects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"
#include "kit/result.h"

namespace blindscan::kit {

// The intermediate range a satellite tuner takes, MHz.
inline constexpr uint32_t tuner_lowest_mhz = 950;
inline constexpr uint32_t tuner_highest_mhz = 2150;

// Oscillators given by number lie in this range, MHz; below
// inverting_below_mhz one lies above the band it converts, as C-band ones do.
inline constexpr uint32_t lowest_oscillator_mhz = tuner_highest_mhz;
inline constexpr uint32_t highest_oscillator_mhz = 30'000;
inline constexpr uint32_t inverting_below_mhz = 6'000;

// Which tone selects a path: any, or only the low band (hilow_band 0), or
// only the high band (any other hilow_band).
enum class lnb_band : uint8_t { any, low, high };

// Which supply voltage selects a path.  A circular LNB's right hand is the
// vertical voltage (pol other than 0), its left hand the horizontal one.
enum class lnb_polarisation : uint8_t { either, horizontal, vertical, left, right };

// One of an LNB's conversions: the downlinks [lowest_khz, highest_khz] it
// takes, brought down by one oscillator.
struct lnb_path {
  uint32_t lowest_khz;
  uint32_t highest_khz;
  uint32_t oscillator_khz;
  lnb_band band = lnb_band::any;
  lnb_polarisation polarisation = lnb_polarisation::either;
};

// An oscillator above the band turns the spectrum over: the intermediate
// frequency is the oscillator minus the downlink.
inline bool inverted(const lnb_path& path) { return path.oscillator_khz > path.highest_khz; }

struct lnb {
  std::string name;         // the type's name, or the oscillators as given
  std::string description;  // what the type is, for a known one
  std::vector<lnb_path> paths;
  uint32_t switch_khz = 0;  // the downlink from which the high band serves; 0 for none
  std::string alias = {};   // the name that selects it where its own name selects another
};

// The LNB types known by name, in the order dvb-tools list them.  One name
// stands twice there; the second type is selected by its alias.
const std::vector<lnb>& known_lnbs();

// The name that selects a known type: its alias, or its name.
const std::string& lnb_name(const lnb& dish);

// The names that select the known types, each with the downlinks it takes,
// MHz, in the table's order: "EXTENDED (10700-12750), UNIVERSAL (10800-12700),
// ...".
std::string known_lnb_names();

// kHz as MHz, the fraction written only where there is one: "9750", "9752.4".
std::string mhz_text(uint32_t khz);

// The LNB the tool's report assumes: the low band's oscillator for
// hilow_band 0, the high band's otherwise, on either polarisation, taking
// every downlink.  A carrier's intermediate frequency through it is its
// downlink minus that oscillator, as the stand-in's blind search and the
// comparison reckon it.  parse_lnb knows no name for it.
lnb tool_bands();

// An LNB by name, in any case, or by its oscillators in MHz to the kHz at
// most: "LOW" alone; "LOW,HIGH", the tone selecting HIGH, each taking what
// it brings into the tuner's range ("9752.4,10597"); or "LOW,HIGH,SWITCH"
// where LOW serves the downlinks up to SWITCH and HIGH those from it; blanks
// around the whole and each number are passed over.
result<lnb> parse_lnb(std::string_view text);

// The paths a request's band and polarisation select, in the LNB's order.
std::vector<lnb_path> selected_paths(const lnb& dish, const device::blindscan_request& request);

// The intermediate frequency, kHz, at which the request's band and
// polarisation deliver downlink_khz: through the first selected path that
// takes it; none when no path does.  Below the oscillator of a path that
// takes every downlink it is negative.
std::optional<int64_t> intermediate_khz(const lnb& dish, const device::blindscan_request& request,
                                        uint32_t downlink_khz);

// The downlink, kHz, that the request's band and polarisation deliver at
// intermediate_khz: through the first selected path that takes what it
// gives; where none does but all share one conversion, through that one
// (a carrier the LNB delivers beyond its stated range).  A failure says why
// it cannot be told.
result<int64_t> downlink_khz(const lnb& dish, const device::blindscan_request& request,
                             int64_t intermediate_khz);

// The downlink, kHz, of a frequency the tool's report gives for a sweep
// with request: the report adds the tool's own oscillator for the request's
// band (tool_bands()) to the intermediate frequency, so that is taken off
// again and the rest brought up through dish, as downlink_khz does.  Through
// tool_bands() it is reported_khz itself.  A failure says why it cannot be
// told, or that it lies beyond what a report line can hold.
result<uint32_t> reported_downlink_khz(const lnb& dish, const device::blindscan_request& request,
                                       uint32_t reported_khz);

// "low band" or "high band", as a request's hilow_band selects (the tone).
const char* band_words(const device::blindscan_request& request);

// The oscillator of the path that brings downlink_khz down on the request's
// band and polarisation: the first selected path that takes it, or, where
// none does, the first selected; 0 where none is selected.
uint32_t oscillator_for(const lnb& dish, const device::blindscan_request& request, uint32_t downlink_khz);

// Whether any path of the LNB takes downlink_khz.
bool takes(const lnb& dish, uint32_t downlink_khz);

}  // namespace blindscan::kit
