#include "emulator/emulated_driver.h"

#define FUSE_USE_VERSION 35
#include <fuse_lowlevel.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace blindscan::emulator {

namespace {

// The write the tool never makes is refused, as by a driver without one.
constexpr int write_error = EPERM;

// How long the kernel may cache the node's attributes, seconds.
constexpr double attribute_timeout = 1.0;

}  // namespace

emulated_driver::emulated_driver(driver_behaviour behaviour, event_log log)
    : behaviour_(std::move(behaviour)), log_(log), created_(time(nullptr)) {}

void emulated_driver::getattr(fuse_req* req) {
  // A regular file of the configured permission bits, owner and times, and no size.
  struct stat attributes {};
  attributes.st_ino = FUSE_ROOT_ID;
  attributes.st_mode = S_IFREG | behaviour_.node_mode;
  attributes.st_nlink = 1;
  attributes.st_uid = behaviour_.owner;
  attributes.st_gid = behaviour_.group;
  attributes.st_atime = attributes.st_mtime = attributes.st_ctime = created_;
  fuse_reply_attr(req, &attributes, attribute_timeout);
}

void emulated_driver::open(fuse_req* req, fuse_file_info* info) {
  log_.write(events::opened(info->flags));
  // Direct I/O hands each read to the driver with the size the caller asked.
  info->direct_io = 1;
  info->noflush = 1;
  info->fh = next_handle_++;
  handles_.emplace(info->fh, scan_answer{});
  fuse_reply_open(req, info);
}

void emulated_driver::read(fuse_req* req, size_t size, off_t offset, const fuse_file_info* info) {
  if (behaviour_.fail_read) {
    log_.write(events::read_failed(size, *behaviour_.fail_read));
    fuse_reply_err(req, *behaviour_.fail_read);
    return;
  }
  static const scan_answer nothing_scanned{};
  const auto handle = handles_.find(info->fh);
  const scan_answer& answer = handle != handles_.end() ? handle->second : nothing_scanned;
  const auto start = static_cast<uint64_t>(offset);
  const size_t length = delivery_length(answer, start, size, behaviour_.read_bytes);
  log_.write(events::records_read(size, length));
  fuse_reply_buf(req, length ? answer.bytes.data() + start : nullptr, length);
}

void emulated_driver::write(fuse_req* req, size_t size) {
  log_.write(events::write_refused(size));
  fuse_reply_err(req, write_error);
}

void emulated_driver::ioctl(fuse_req* req, unsigned cmd, const fuse_file_info* info, const void* in,
                            size_t in_size) {
  if (cmd != static_cast<unsigned>(device::AVL2108_SET_PARAMETER)) {
    log_.write(events::unknown_request(cmd, ENOTTY));
    fuse_reply_err(req, ENOTTY);
    return;
  }
  device::blindscan_request request{};
  std::memcpy(&request, in, std::min(in_size, sizeof(request)));
  log_.write(events::scan_requested(cmd, request));

  pending_scan scan{req, info->fh, scan_clock::now() + behaviour_.scan_time, search(request)};
  if (behaviour_.scan_time.count() == 0) {
    finish_scan(scan);
    return;
  }
  pending_.add(std::move(scan));
  // Registered last: an interrupt that has already arrived calls back at once.
  fuse_req_interrupt_func(req, on_interrupt, this);
}

void emulated_driver::release(fuse_req* req, const fuse_file_info* info) {
  handles_.erase(info->fh);
  log_.write(events::released());
  fuse_reply_err(req, 0);
}

void emulated_driver::complete_due_scans(scan_clock::time_point now) {
  for (const pending_scan& scan : pending_.take_due(now)) finish_scan(scan);
}

void emulated_driver::on_interrupt(fuse_req* req, void* driver) {
  // The scan is answered at once, from the event loop.
  static_cast<emulated_driver*>(driver)->pending_.interrupt(req);
}

void emulated_driver::finish_scan(const pending_scan& scan) {
  if (scan.interrupted) {
    log_.write(events::scan_interrupted());
    fuse_reply_err(scan.req, EINTR);
    return;
  }
  if (behaviour_.fail_ioctl) {
    handles_[scan.handle] = scan_answer{};
    log_.write(events::scan_failed(*behaviour_.fail_ioctl));
    fuse_reply_err(scan.req, *behaviour_.fail_ioctl);
    return;
  }
  handles_[scan.handle] = scan.answer;
  fuse_reply_ioctl(scan.req, 0, nullptr, 0);
}

scan_answer emulated_driver::search(const device::blindscan_request& request) const {
  if (behaviour_.records) return answer_from_bytes(*behaviour_.records);
  return answer_from_records(blind_search(behaviour_.sky, request, behaviour_.jitter));
}

}  // namespace blindscan::emulator
