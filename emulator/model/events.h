// The lines of the driver's event log, one per event.  Tests and scripts
// read them, so their formats stay as they are.  Also the line that says a
// replay departed from its recording, for people.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"

namespace blindscan::emulator {

// Where the driver hands each line as its event happens.
using event_sink = std::function<void(std::string_view line)>;

// "the run 'a b c'": a run of a command by its arguments after its program's
// name, joined by blanks, as /proc shows them.
std::string run_name(const std::vector<std::string>& arguments);

namespace events {

std::string mounted(std::string_view path);
std::string opened(int flags);
std::string open_failed(int flags, int error);
std::string scan_requested(unsigned cmd, const device::blindscan_request& request);
std::string unknown_request(unsigned cmd, int error);
std::string scan_failed(int error);
std::string scan_unrecorded();
std::string scan_interrupted();
std::string read_interrupted();
std::string records_read(size_t size, size_t delivered);
std::string read_failed(size_t size, int error);
std::string write_refused(size_t size);
std::string released();

// A scan request refused with error because the recorded answers hold no
// scan for it, naming the run that made it and the request's six fields.
std::string unrecorded_request(const std::vector<std::string>& caller_arguments,
                               const device::blindscan_request& request, int error);

// Open flags as names: the access mode, then every other flag set, joined by
// '|', unknown bits in hex.  O_LARGEFILE is left out: a 64-bit kernel adds it
// to every open.
std::string open_flags(int flags);

}  // namespace events

}  // namespace blindscan::emulator
