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
#include "emulator/record_serving.h"
#include "emulator/served_file.h"
#include "emulator/sky.h"

namespace blindscan::emulator {

struct driver_behaviour {
  std::vector<transponder> sky;
  std::optional<std::string> records;  // served instead of the sky's search results
  std::optional<int> fail_ioctl;
  std::optional<int> fail_read;
  std::optional<size_t> read_bytes;
  std::chrono::milliseconds scan_time{0};
  mode_t node_mode = 0666;
  uid_t owner = 0;
  gid_t group = 0;
};

class emulated_driver : public served_file {
 public:
  using clock = std::chrono::steady_clock;

  emulated_driver(driver_behaviour behaviour, event_log log);

  // The FUSE requests on the node; each replies to req, now or, for a scan
  // request that takes time, from complete_due_scans().
  void getattr(fuse_req* req) override;
  void open(fuse_req* req, fuse_file_info* info) override;
  void read(fuse_req* req, size_t size, off_t offset, const fuse_file_info* info) override;
  void write(fuse_req* req, const char* data, size_t size) override;
  void ioctl(fuse_req* req, unsigned cmd, const fuse_file_info* info, const void* in,
             size_t in_size) override;
  void release(fuse_req* req, const fuse_file_info* info) override;

  // Scans still running: how long until the next one ends (nothing when none
  // runs), and answering those whose time has come or that were interrupted.
  std::optional<clock::duration> time_to_next_completion(clock::time_point now) const;
  void complete_due_scans(clock::time_point now);

  size_t open_handles() const override { return handles_.size(); }

 private:
  struct pending_scan {
    fuse_req* req;
    uint64_t handle;
    clock::time_point due;
    result_set results;
    bool interrupted = false;
  };

  static void on_interrupt(fuse_req* req, void* driver);
  void finish_scan(const pending_scan& scan);
  result_set search(const device::blindscan_request& request) const;

  driver_behaviour behaviour_;
  event_log log_;
  time_t created_;  // the node's times
  uint64_t next_handle_ = 1;
  std::map<uint64_t, result_set> handles_;  // the results of each open file's last accepted scan
  std::vector<pending_scan> pending_;
};

}  // namespace blindscan::emulator
