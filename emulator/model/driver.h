// The emulated blind-scan driver: what it answers to each request made on
// its node, as plain values, with the faults it is set to inject.  Whatever
// carries the kernel's requests to it (the FUSE layer) replies with these
// answers; the driver itself knows nothing of that.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "emulator/model/events.h"
#include "emulator/model/pending_requests.h"
#include "emulator/model/scan_faults.h"
#include "emulator/model/scan_records.h"
#include "emulator/model/unasked_answers.h"
#include "kit/blind_search.h"
#include "kit/lnb.h"
#include "kit/transponder.h"

namespace blindscan::emulator {

// How the driver behaves besides answering from its source, as the command
// line sets it.
struct driver_settings {
  kit::measurement_jitter jitter;          // how far off the search reports each carrier
  std::vector<scan_fault> faults;          // in the order given
  std::chrono::milliseconds scan_time{0};  // how long a scan request blocks
  // Each open in turn, as a real driver answered it: 0 taken, or the errno
  // it was refused with.  Opens beyond these are taken.
  std::vector<int> recorded_opens;
  kit::lnb dish = kit::tool_bands();  // what brings the sky to the tuner
};

// What scans are answered from: a sky, searched blindly; the exact bytes of
// records, handed out as they are; or a real driver's recorded answers,
// one scan after another.
using scan_source = std::variant<std::vector<kit::transponder>, std::string, std::vector<recorded_scan>>;

// How the driver answers a request: it succeeded (with the bytes a read
// delivers, none for anything else), it is refused with errno error, or it
// waits (a scan that takes time, or one a real driver never answered) and
// is answered later under ticket.
struct succeeded {
  std::string bytes;
};
struct refused {
  int error;
};
struct pending {
  uint64_t ticket;
};
using outcome = std::variant<succeeded, refused, pending>;

// A request answered after its time, or at once once interrupted:
// succeeded or refused.
struct finished_request {
  uint64_t ticket;
  outcome result;
};

class driver {
 public:
  // log takes each event's line; divergences, at once, each request the
  // driver refuses because its recorded answers hold no scan for it (a
  // replay that departs from its recording), as a line for people.
  driver(scan_source source, const driver_settings& settings, event_sink log, event_sink divergences);

  // The errno that an open of the node is refused with, in its turn among
  // the recorded opens; nothing when it is taken.
  std::optional<int> refuse_open(int flags);
  // An open of the node; the file number that its requests then carry.
  uint64_t open(int flags);
  // A request code with its argument's bytes, made at now by a caller run
  // with caller_arguments (after its program's name).
  outcome ioctl(uint64_t file, unsigned cmd, std::string_view argument, scan_clock::time_point now,
                const std::vector<std::string>& caller_arguments = {});
  // A read of at most size bytes at offset into what the file's last scan
  // left it.
  outcome read(uint64_t file, size_t size, uint64_t offset);
  outcome write(size_t size);
  // The last close of an open file.
  void release(uint64_t file);

  // The caller of the request under ticket gave up waiting (a signal).
  void interrupt(uint64_t ticket);
  // How long until the next pending request is answered; nothing when none
  // waits for a time.
  std::optional<scan_clock::duration> time_to_next_answer(scan_clock::time_point now) const {
    return pending_.time_to_next(now);
  }
  // The pending requests answered by now, in the order they fell due.
  std::vector<finished_request> take_finished(scan_clock::time_point now);

  // Files opened and not yet released.
  size_t open_files() const { return files_.size(); }
  // Scan requests refused because the recorded answers hold none for them.
  size_t unrecorded_requests() const { return unrecorded_requests_; }
  // The recorded opens, scans and reads that no request has taken so far.
  unasked_answers unasked() const;

 private:
  // The scan that answers request, as a pending request not yet queued.
  pending_request next_scan(uint64_t file, const device::blindscan_request& request,
                            scan_clock::time_point now, const std::vector<std::string>& caller_arguments);
  // The first recorded scan not yet answered that a run with these arguments
  // made (or that no run is known for); nothing when none is left.
  std::optional<size_t> next_recorded(const std::vector<recorded_scan>& recorded,
                                      const std::vector<std::string>& caller_arguments);
  outcome read_recorded(uint64_t file, recorded_reads& recorded, size_t size);
  outcome finish(pending_request& request);

  scan_source source_;
  driver_settings settings_;
  event_sink log_;
  event_sink divergences_;
  uint64_t next_file_ = 1;
  uint64_t next_ticket_ = 1;
  // For each recorded scan: whether a request took it, and how many of the
  // reads after it were taken.
  struct recorded_use {
    bool taken = false;
    size_t reads = 0;
  };
  std::vector<recorded_use> recorded_use_;
  size_t unrecorded_requests_ = 0;
  size_t next_recorded_open_ = 0;
  uint64_t scans_ = 0;  // scan requests made on the node
  // What an open file's reads deliver, and the number of the last scan
  // request it made (0 for none).
  struct open_file {
    scan_reads reads;
    uint64_t scan = 0;
  };
  std::map<uint64_t, open_file> files_;
  pending_requests pending_;
};

}  // namespace blindscan::emulator
