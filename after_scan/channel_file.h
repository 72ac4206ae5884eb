// The DVBv5 channel file of a scan's carriers, as the Linux DVB tools read
// it: an initial tuning file for dvbv5-scan, convertible by
// dvb-format-convert.
#pragma once

#include <string>
#include <vector>

#include "after_scan/tsv_headers.h"
#include "kit/report_lines.h"
#include "kit/transponder.h"

namespace blindscan::after_scan {

// One [CHANNEL] entry per carrier, in the given order, each with its delivery
// system, frequency (kHz), polarisation, symbol rate (symbols per second),
// code rate, modulation, inversion, roll-off and pilot as reported.
std::string channel_file(const std::vector<kit::reported_carrier>& carriers);

// The same carriers as tab-separated values under the header line
// carrier_tsv_header, for programs.
std::string carrier_table(const std::vector<kit::reported_carrier>& carriers);

}  // namespace blindscan::after_scan
