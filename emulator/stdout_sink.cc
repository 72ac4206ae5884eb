#include "emulator/stdout_sink.h"

#define FUSE_USE_VERSION 35
#include <fuse_lowlevel.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace blindscan::emulator {

namespace {

// Writes all of data to fd; 0, or the errno of the write that failed.
int forward_all(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    data += written;
    length -= static_cast<size_t>(written);
  }
  return 0;
}

}  // namespace

stdout_sink::stdout_sink(size_t bytes_per_write, int forward_fd, uid_t owner, gid_t group, event_log log)
    : bytes_per_write_(std::max<size_t>(bytes_per_write, 1)),
      forward_fd_(forward_fd),
      owner_(owner),
      group_(group),
      log_(log),
      created_(time(nullptr)) {}

void stdout_sink::getattr(fuse_req* req) {
  reply_regular_file_attributes(req, 0222, owner_, group_, created_);
}

void stdout_sink::open(fuse_req* req, fuse_file_info* info) {
  // Direct I/O hands each write over with the size the caller wrote, and
  // hands the short count back to the caller.
  info->direct_io = 1;
  ++open_handles_;
  fuse_reply_open(req, info);
}

void stdout_sink::read(fuse_req* req, size_t, off_t, const fuse_file_info*) { fuse_reply_err(req, EBADF); }

void stdout_sink::write(fuse_req* req, const char* data, size_t size) {
  const size_t accepted = std::min(size, bytes_per_write_);
  if (const int error = forward_all(forward_fd_, data, accepted); error != 0) {
    log_.write(events::stdout_write_failed(size, error));
    fuse_reply_err(req, error);
    return;
  }
  log_.write(events::stdout_write(size, accepted));
  fuse_reply_write(req, accepted);
}

// Not a terminal: isatty() asks with TCGETS.
void stdout_sink::ioctl(fuse_req* req, unsigned, const fuse_file_info*, const void*, size_t) {
  fuse_reply_err(req, ENOTTY);
}

void stdout_sink::release(fuse_req* req, const fuse_file_info*) {
  --open_handles_;
  fuse_reply_err(req, 0);
}

}  // namespace blindscan::emulator
