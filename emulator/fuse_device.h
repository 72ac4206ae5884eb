// The FUSE session that makes the emulated driver a file: requests from the
// kernel are read and dispatched one at a time by the caller's event loop.
#pragma once

#include <memory>
#include <string>

#include "emulator/emulated_driver.h"

struct fuse_session;

namespace blindscan::emulator {

class fuse_device {
 public:
  // Serves driver on fuse_fd, an open /dev/fuse that has been mounted; takes
  // ownership of the descriptor.
  static std::unique_ptr<fuse_device> on_mounted_fd(emulated_driver& driver, int fuse_fd, std::string& error);

  // Mounts on path through libfuse's helper (fusermount3), for a user who may
  // not mount; the session unmounts it again when it ends.
  static std::unique_ptr<fuse_device> mounted_by_helper(emulated_driver& driver, const std::string& path,
                                                        std::string& error);

  ~fuse_device();
  fuse_device(const fuse_device&) = delete;
  fuse_device& operator=(const fuse_device&) = delete;

  int fd() const;

  // Reads and answers one request.  False once the file is unmounted.
  bool handle_request();

 private:
  explicit fuse_device(fuse_session* session, bool unmount_at_end);
  static fuse_session* new_session(emulated_driver& driver, const char* mount_options, std::string& error);

  fuse_session* session_;
  bool unmount_at_end_;
  struct buffer;
  std::unique_ptr<buffer> buffer_;
};

}  // namespace blindscan::emulator
