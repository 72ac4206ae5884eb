// A satellite's sky: the two text formats a list of transponders is read
// from, and where the published lists are kept.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/result.h"
#include "kit/transponder.h"

namespace blindscan::kit {

// Parses a sky file in one of two formats, told apart by the first line
// that holds something ('#' starts a comment; blank lines are ignored):
// - the own format: one transponder per line, "FREQUENCY_KHZ POL
//   SYMBOL_RATE SYSTEM" (POL H or V, SYSTEM DVB-S or DVB-S2); a frequency
//   and polarisation given twice is an error;
// - a published channel list: entries that start with "[NAME]", followed
//   by "KEY = value" lines, of which FREQUENCY (kHz), POLARIZATION
//   (HORIZONTAL or LEFT, VERTICAL or RIGHT), SYMBOL_RATE (symbols per
//   second, rounded to kSym/s) and DELIVERY_SYSTEM (DVBS or DVBS2) are
//   needed and the rest ignored; a frequency and polarisation listed again
//   (a multistream carrier, once per stream) keeps its first entry.
// The failure reads "SOURCE:LINE: what is wrong", with source_name as SOURCE.
result<std::vector<transponder>> parse_sky(std::string_view text, std::string_view source_name);

// The transponders of the sky file or published list at path; kind says
// what it is, with its article ("a published list"), for a failure.
result<std::vector<transponder>> read_sky(const std::string& path, std::string_view kind);

// Where Debian's dtv-scan-tables keeps one published list per satellite.
inline constexpr std::string_view published_lists_directory = "/usr/share/dvb/dvb-s";

// The path of satellite name's list in directory; the failure says whether
// the name or the whole directory is missing and what to do about it.
result<std::string> satellite_file(std::string_view directory, std::string_view name);

// The failure that says directory is missing, and where the lists come
// from; nothing where it is there.
std::optional<failure> missing_lists(std::string_view directory);

// A satellite's published list, by its name in directory.
result<std::vector<transponder>> read_satellite(std::string_view directory, std::string_view name);

}  // namespace blindscan::kit
