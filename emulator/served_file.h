// One file the emulator serves over FUSE: the kernel's requests on it, as
// fuse_device hands them over.  Each call replies to req, now or later.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>

struct fuse_req;
struct fuse_file_info;

namespace blindscan::emulator {

class served_file {
 public:
  virtual ~served_file() = default;

  virtual void getattr(fuse_req* req) = 0;
  virtual void open(fuse_req* req, fuse_file_info* info) = 0;
  virtual void read(fuse_req* req, size_t size, off_t offset, const fuse_file_info* info) = 0;
  virtual void write(fuse_req* req, const char* data, size_t size) = 0;
  virtual void ioctl(fuse_req* req, unsigned cmd, const fuse_file_info* info, const void* in,
                     size_t in_size) = 0;
  virtual void release(fuse_req* req, const fuse_file_info* info) = 0;

  // Files opened and not yet released.
  virtual size_t open_handles() const = 0;
};

// Replies to a getattr with a regular file of these permission bits, owner
// and times, and no size.
void reply_regular_file_attributes(fuse_req* req, mode_t mode, uid_t owner, gid_t group, time_t times);

}  // namespace blindscan::emulator
