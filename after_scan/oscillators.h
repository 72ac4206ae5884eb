// The dish's oscillators measured from a scan against a list.  An LNB's
// oscillator may be off by some MHz: every carrier it brings down is then
// reported that far off (the same way for an oscillator above its band),
// and narrow carriers no longer match the list.  Each oscillator's offset is
// the one most of the report's carriers agree on, the wide ones weighing
// most, so that carriers the list no longer holds, carriers it does not hold
// yet and each carrier's own error of measurement do not move it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kit/lnb.h"
#include "kit/report_lines.h"
#include "kit/transponder.h"

namespace blindscan::after_scan {

// How far from its nominal frequency an oscillator is looked for, kHz.
inline constexpr int32_t offset_search_khz = 10'000;
// The fewest carriers an oscillator is measured from.
inline constexpr size_t fewest_measuring_carriers = 3;
// An offset is said, and corrected, to this step, kHz.
inline constexpr int32_t offset_step_khz = 100;

struct oscillator_measure {
  uint32_t nominal_khz;
  std::string name;  // "low band", "high band", the polarisation that selects it, or the LNB's name
  std::optional<int32_t> offset_khz;  // none where too few carriers could measure it
  size_t carriers = 0;                // the carriers that agree on the offset
};

// A list's transponders of each polarisation by downlink, for lookups.
class listed_by_frequency {
 public:
  explicit listed_by_frequency(const std::vector<kit::transponder>& list);
  // The listed transponders of a polarisation with downlinks in [lowest_khz, highest_khz].
  std::vector<const kit::transponder*> within(bool vertical, int64_t lowest_khz, int64_t highest_khz) const;

 private:
  std::vector<const kit::transponder*> by_polarisation_[2];
};

// Each oscillator of dish that brought down one of carriers (their
// downlinks as reckoned with the nominal oscillators), measured against the
// list.
std::vector<oscillator_measure> measure_oscillators(const listed_by_frequency& list,
                                                    const std::vector<kit::reported_carrier>& carriers,
                                                    const kit::lnb& dish);

// The offset measured for an oscillator; 0 where none is.
int32_t offset_of(const std::vector<oscillator_measure>& measures, uint32_t oscillator_khz);

// The carriers with each downlink moved by its oscillator's offset.
std::vector<kit::reported_carrier> corrected(std::vector<kit::reported_carrier> carriers,
                                             const std::vector<oscillator_measure>& measures);

// "low band 9752.0 MHz, 2.0 above nominal (from 45 carriers)", or that
// too few carriers were there to measure it.
std::string measure_words(const oscillator_measure& measure);

}  // namespace blindscan::after_scan
