// The emulated blind-scan driver behind the FUSE file: what it answers to
// open, the scan request, read, write and release, with the configured faults.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "emulator/event_log.h"
#include "emulator/scan_answer.h"
#include "emulator/scan_queue.h"
#include "emulator/sky.h"

struct fuse_req;
struct fuse_file_info;

namespace blindscan::emulator {

struct driver_behaviour {
  std::vector<transponder> sky;
  measurement_jitter jitter;
  std::optional<std::string> records;  // served instead of the sky's search results
  std::optional<int> fail_ioctl;       // errno for every scan request
  std::optional<int> fail_read;        // errno for every read
  std::optional<size_t> read_bytes;
  std::chrono::milliseconds scan_time{0};
  mode_t node_mode = 0666;
  uid_t owner = 0;
  gid_t group = 0;
};

class emulated_driver {
 public:
  emulated_driver(driver_behaviour behaviour, event_log log);

  // The FUSE requests on the node; each replies to req, now or, for a scan
  // request that takes time, from complete_due_scans().
  void getattr(fuse_req* req);
  void open(fuse_req* req, fuse_file_info* info);
  void read(fuse_req* req, size_t size, off_t offset, const fuse_file_info* info);
  void write(fuse_req* req, size_t size);
  void ioctl(fuse_req* req, unsigned cmd, const fuse_file_info* info, const void* in, size_t in_size);
  void release(fuse_req* req, const fuse_file_info* info);

  // Scans still running: how long until the next one ends (nothing when none
  // runs), and answering those whose time has come or that were interrupted.
  std::optional<scan_clock::duration> time_to_next_completion(scan_clock::time_point now) const {
    return pending_.time_to_next(now);
  }
  void complete_due_scans(scan_clock::time_point now);

  // Files opened and not yet released.
  size_t open_handles() const { return handles_.size(); }

 private:
  static void on_interrupt(fuse_req* req, void* driver);
  void finish_scan(const pending_scan& scan);
  scan_answer search(const device::blindscan_request& request) const;

  driver_behaviour behaviour_;
  event_log log_;
  time_t created_;  // the node's times
  uint64_t next_handle_ = 1;
  std::map<uint64_t, scan_answer> handles_;  // the answer to each open file's last accepted scan
  scan_queue pending_;
};

}  // namespace blindscan::emulator
