// The command's standard output as a FUSE file that takes at most a set
// number of bytes per write, as a slow or nearly full output does.  What it
// takes is passed on, in order, to the emulator's own standard output, so
// the caller sees exactly the bytes the command got written.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>

#include "emulator/event_log.h"
#include "emulator/served_file.h"

namespace blindscan::emulator {

class stdout_sink : public served_file {
 public:
  // Takes at most bytes_per_write (at least 1) of each write and passes them
  // on to forward_fd; a file owned by owner and group that everyone may write.
  stdout_sink(size_t bytes_per_write, int forward_fd, uid_t owner, gid_t group, event_log log);

  void getattr(fuse_req* req) override;
  void open(fuse_req* req, fuse_file_info* info) override;
  void read(fuse_req* req, size_t size, off_t offset, const fuse_file_info* info) override;
  void write(fuse_req* req, const char* data, size_t size) override;
  void ioctl(fuse_req* req, unsigned cmd, const fuse_file_info* info, const void* in,
             size_t in_size) override;
  void release(fuse_req* req, const fuse_file_info* info) override;
  size_t open_handles() const override { return open_handles_; }

 private:
  size_t bytes_per_write_;
  int forward_fd_;
  uid_t owner_;
  gid_t group_;
  event_log log_;
  time_t created_;
  size_t open_handles_ = 0;
};

}  // namespace blindscan::emulator
