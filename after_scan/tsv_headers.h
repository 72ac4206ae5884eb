// The header lines of the after-scan commands' tab-separated outputs, which
// other programs read (plot-scan among them, through the kit's generated
// facts): blindscan-compare --tsv's comparison and blindscan-channels
// --tsv's carriers.
#pragma once

namespace blindscan::after_scan {

// found, missed or extra; H or V; the frequency in kHz; the symbol rate in
// symbols per second; DVB-S or DVB-S2; the detail.
inline constexpr char comparison_tsv_header[] =
    "result\tpolarisation\tfrequency_khz\tsymbol_rate\tsystem\tdetail\n";

// H or V; the frequency in kHz; the symbol rate in symbols per second;
// DVB-S or DVB-S2; then the modulation, code rate and roll-off as a DVBv5
// channel file spells them.
inline constexpr char carrier_tsv_header[] =
    "polarisation\tfrequency_khz\tsymbol_rate\tsystem\tmodulation\tcode_rate\troll_off\n";

}  // namespace blindscan::after_scan
