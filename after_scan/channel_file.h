// The DVBv5 channel file of a scan's carriers, as the Linux DVB tools read
// it: an initial tuning file for dvbv5-scan, convertible by
// dvb-format-convert.
#pragma once

#include <string>
#include <vector>

#include "kit/report_lines.h"

namespace blindscan::after_scan {

// One [CHANNEL] entry per carrier, in the given order, each with its delivery
// system, frequency (kHz), polarisation, symbol rate (symbols per second),
// code rate, modulation, inversion, roll-off and pilot as reported.
std::string channel_file(const std::vector<kit::reported_carrier>& carriers);

}  // namespace blindscan::after_scan
