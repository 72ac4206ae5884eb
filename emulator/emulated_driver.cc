#include "emulator/emulated_driver.h"

#define FUSE_USE_VERSION 35
#include <fuse_lowlevel.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace blindscan::emulator {

namespace {

// The write the tool never makes is refused, as by a driver without one.
constexpr int write_error = EPERM;

}  // namespace

emulated_driver::emulated_driver(driver_behaviour behaviour, event_log log)
    : behaviour_(std::move(behaviour)), log_(log), created_(time(nullptr)) {}

void emulated_driver::getattr(fuse_req* req) {
  reply_regular_file_attributes(req, behaviour_.node_mode, behaviour_.owner, behaviour_.group, created_);
}

void emulated_driver::open(fuse_req* req, fuse_file_info* info) {
  log_.write(events::open(info->flags));
  // Direct I/O hands each read to the driver with the size the caller asked.
  info->direct_io = 1;
  info->noflush = 1;
  info->fh = next_handle_++;
  handles_.emplace(info->fh, result_set{});
  fuse_reply_open(req, info);
}

void emulated_driver::read(fuse_req* req, size_t size, off_t offset, const fuse_file_info* info) {
  if (behaviour_.fail_read) {
    log_.write(events::read_failed(size, *behaviour_.fail_read));
    fuse_reply_err(req, *behaviour_.fail_read);
    return;
  }
  static const result_set nothing_scanned{};
  const auto handle = handles_.find(info->fh);
  const result_set& results = handle != handles_.end() ? handle->second : nothing_scanned;
  const auto start = static_cast<uint64_t>(offset);
  const size_t length = delivery_length(results, start, size, behaviour_.read_bytes);
  log_.write(events::read(size, length));
  fuse_reply_buf(req, length ? results.bytes.data() + start : nullptr, length);
}

void emulated_driver::write(fuse_req* req, const char*, size_t size) {
  log_.write(events::write_refused(size));
  fuse_reply_err(req, write_error);
}

void emulated_driver::ioctl(fuse_req* req, unsigned cmd, const fuse_file_info* info, const void* in,
                            size_t in_size) {
  if (cmd != static_cast<unsigned>(device::AVL2108_SET_PARAMETER)) {
    log_.write(events::ioctl_unknown(cmd, ENOTTY));
    fuse_reply_err(req, ENOTTY);
    return;
  }
  device::blindscan_request request{};
  std::memcpy(&request, in, std::min(in_size, sizeof(request)));
  log_.write(events::ioctl(cmd, request));

  pending_scan scan{req, info->fh, clock::now() + behaviour_.scan_time, search(request)};
  if (behaviour_.scan_time.count() == 0) {
    finish_scan(scan);
    return;
  }
  pending_.push_back(std::move(scan));
  // Registered last: an interrupt that has already arrived calls back at once.
  fuse_req_interrupt_func(req, on_interrupt, this);
}

void emulated_driver::release(fuse_req* req, const fuse_file_info* info) {
  handles_.erase(info->fh);
  log_.write(events::release());
  fuse_reply_err(req, 0);
}

std::optional<emulated_driver::clock::duration> emulated_driver::time_to_next_completion(
    clock::time_point now) const {
  if (pending_.empty()) return std::nullopt;
  clock::time_point first = pending_.front().due;
  for (const pending_scan& scan : pending_) first = std::min(first, scan.due);
  return std::max(first - now, clock::duration::zero());
}

void emulated_driver::complete_due_scans(clock::time_point now) {
  std::vector<pending_scan> due;
  std::erase_if(pending_, [&](pending_scan& scan) {
    if (scan.due > now) return false;
    due.push_back(std::move(scan));
    return true;
  });
  for (const pending_scan& scan : due) finish_scan(scan);
}

void emulated_driver::on_interrupt(fuse_req* req, void* driver) {
  // The scan is answered at once, from the event loop.
  for (pending_scan& scan : static_cast<emulated_driver*>(driver)->pending_) {
    if (scan.req != req) continue;
    scan.interrupted = true;
    scan.due = clock::time_point::min();
  }
}

void emulated_driver::finish_scan(const pending_scan& scan) {
  if (scan.interrupted) {
    log_.write(events::ioctl_interrupted());
    fuse_reply_err(scan.req, EINTR);
    return;
  }
  if (behaviour_.fail_ioctl) {
    handles_[scan.handle] = result_set{};
    log_.write(events::ioctl_failed(*behaviour_.fail_ioctl));
    fuse_reply_err(scan.req, *behaviour_.fail_ioctl);
    return;
  }
  handles_[scan.handle] = scan.results;
  fuse_reply_ioctl(scan.req, 0, nullptr, 0);
}

result_set emulated_driver::search(const device::blindscan_request& request) const {
  if (behaviour_.records) return raw_result(*behaviour_.records);
  return records_result(blind_search(behaviour_.sky, request));
}

}  // namespace blindscan::emulator
