// The faults of a dish's installation that show in a blind scan as a
// pattern: what each does to what a sweep finds, by one definition that the
// driver stand-in serves (--fault SCAN:FAULT) and the comparison's findings
// are named after, so that a front end rehearses what a scan then says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"
#include "kit/blind_search.h"
#include "kit/lnb.h"
#include "kit/result.h"
#include "kit/transponder.h"

namespace blindscan::kit {

enum class installation_fault_kind : uint8_t {
  no_tone,             // the 22 kHz tone does not reach the LNB: every sweep gets the low band
  tone_stuck,          // the tone is always on: every sweep gets the high band
  polarisation_stuck,  // the supply voltage is stuck: every sweep gets one polarisation
  skew,                // the LNB is turned: the other polarisation's carriers leak in
  cable_loss,          // a long cable: nothing above an intermediate frequency arrives
  rate_floor,          // the demodulator finds nothing below a symbol rate
};

// What a fault is called (the stand-in's --fault, the comparison's finding),
// the value it takes (none for nullptr), what it does, for help texts, and
// what a comparison says where a scan shows it.
struct installation_fault_type {
  installation_fault_kind kind;
  const char* id;
  const char* value;
  const char* what;
  const char* seen;
};

inline constexpr installation_fault_type installation_fault_types[] = {
    {installation_fault_kind::no_tone, "no-tone", nullptr,
     "the 22 kHz tone does not reach the LNB: every sweep gets the low band",
     "the 22 kHz tone does not reach the LNB: the high band's sweeps got the low band"},
    {installation_fault_kind::tone_stuck, "tone-stuck", nullptr,
     "the 22 kHz tone is always on: every sweep gets the high band",
     "the 22 kHz tone is always on: the low band's sweeps got the high band"},
    {installation_fault_kind::polarisation_stuck, "pol-stuck", "H|V",
     "the LNB's supply voltage is stuck: every sweep gets polarisation H (18 V) or V (13 V)",
     "the LNB's supply voltage is stuck: the sweeps of one polarisation got the other"},
    {installation_fault_kind::skew, "skew", nullptr,
     "the LNB is turned: each sweep also finds the other polarisation's carriers where its own has none",
     "the LNB is turned (skew), or its polarisations leak into each other: sweeps found the other "
     "polarisation's carriers"},
    {installation_fault_kind::cable_loss, "cable-loss", "MHZ",
     "a long cable loses what lies above MHZ at the tuner: nothing above it is found",
     "a long or poor cable loses the upper intermediate frequencies"},
    {installation_fault_kind::rate_floor, "rate-floor", "KSYM",
     "the demodulator finds nothing below KSYM kSym/s", "the demodulator finds nothing below a symbol rate"},
};

const installation_fault_type& type_of(installation_fault_kind kind);

struct installation_fault {
  installation_fault_kind kind;
  // pol-stuck: the request's pol the LNB stays on (0 horizontal, 1
  // vertical); cable-loss: MHz at the tuner; rate-floor: kSym/s.
  uint32_t value = 0;

  friend bool operator==(const installation_fault&, const installation_fault&) = default;
};

// "no-tone", "pol-stuck=V", "cable-loss=1800", "rate-floor=2000"; nothing
// where text names no installation fault, a failure where it names one
// with a wrong value.
std::optional<result<installation_fault>> parse_installation_fault(std::string_view text);

// The fault as parse_installation_fault reads it.
std::string installation_fault_text(const installation_fault& fault);

// The request as the LNB and the tuner serve it under faults: the band the
// tone selects and the polarisation the voltage does.
device::blindscan_request as_served(device::blindscan_request request,
                                    const std::vector<installation_fault>& faults);

// The blind search as an installation with faults answers request: the
// search of the request as served; with skew, and the other polarisation's
// carriers beside those of its own, where no carrier of its own overlaps
// them; with cable loss or a rate floor, less what they lose.  In ascending
// intermediate frequency, each with jitter's offsets.
std::vector<device::blindscan_result> installation_search(const std::vector<transponder>& sky,
                                                          const device::blindscan_request& request,
                                                          const measurement_jitter& jitter, const lnb& dish,
                                                          const std::vector<installation_fault>& faults);

}  // namespace blindscan::kit
