// The FUSE session that makes the emulated driver a file: requests from the
// kernel are read and dispatched one at a time by the caller's event loop.
#pragma once

#include <memory>
#include <string>

#include "emulator/result.h"

struct fuse_session;

namespace blindscan::emulator {

class emulated_driver;

class fuse_server {
 public:
  // Serves driver on fuse_fd, an open /dev/fuse that has been mounted; takes
  // ownership of the descriptor.
  static result<std::unique_ptr<fuse_server>> on_mounted_fd(emulated_driver& driver, int fuse_fd);

  // Mounts on path through libfuse's helper (fusermount3), for a user who may
  // not mount; the session unmounts it again when it ends.
  static result<std::unique_ptr<fuse_server>> mounted_by_helper(emulated_driver& driver,
                                                                const std::string& path);

  ~fuse_server();
  fuse_server(const fuse_server&) = delete;
  fuse_server& operator=(const fuse_server&) = delete;

  int fd() const;

  // Reads and answers one request.  False once the file is unmounted.
  bool handle_request();

 private:
  explicit fuse_server(fuse_session* session, bool unmount_at_end);
  static result<fuse_session*> new_session(emulated_driver& driver, const char* mount_options);

  fuse_session* session_;
  bool unmount_at_end_;
  struct buffer;
  std::unique_ptr<buffer> buffer_;
};

}  // namespace blindscan::emulator
