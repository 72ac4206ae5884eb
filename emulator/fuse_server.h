// The FUSE session that makes a served file (the emulated driver, the
// command's standard output) a file: requests from the kernel are read and
// dispatched one at a time by the caller's event loop.
#pragma once

#include <memory>
#include <string>

#include "emulator/served_file.h"

struct fuse_session;

namespace blindscan::emulator {

class fuse_device {
 public:
  // Serves file on fuse_fd, an open /dev/fuse that has been mounted; takes
  // ownership of the descriptor.
  static std::unique_ptr<fuse_device> on_mounted_fd(served_file& file, int fuse_fd, std::string& error);

  // Mounts on path through libfuse's helper (fusermount3), for a user who may
  // not mount; the session unmounts it again when it ends.
  static std::unique_ptr<fuse_device> mounted_by_helper(served_file& file, const std::string& path,
                                                        std::string& error);

  ~fuse_device();
  fuse_device(const fuse_device&) = delete;
  fuse_device& operator=(const fuse_device&) = delete;

  int fd() const;

  // Reads and answers one request.  False once the file is unmounted.
  bool handle_request();

 private:
  explicit fuse_device(fuse_session* session, bool unmount_at_end);
  static fuse_session* new_session(served_file& file, const char* mount_options, std::string& error);

  fuse_session* session_;
  bool unmount_at_end_;
  struct buffer;
  std::unique_ptr<buffer> buffer_;
};

}  // namespace blindscan::emulator
