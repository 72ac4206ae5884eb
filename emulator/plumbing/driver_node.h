// The emulated driver's node: a FUSE file whose kernel requests are read
// and handed to the driver one at a time, each answered as the driver
// answers it.  This is the only place that knows of FUSE.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "emulator/model/driver.h"
#include "kit/result.h"

struct fuse_buf;
struct fuse_req;
struct fuse_session;

namespace blindscan::emulator {

// What stat shows of the node.
struct node_attributes {
  mode_t mode;
  uid_t owner;
  gid_t group;
};

class driver_node {
 public:
  // Mounts a new FUSE connection on the existing file path, as a regular
  // file owned by the caller that the kernel opens to every user its mode
  // admits; needs the right to mount.
  static kit::result<std::unique_ptr<driver_node>> mount(emulator::driver& driver, node_attributes attributes,
                                                         const std::string& path);

  // Mounts on path through libfuse's setuid helper (fusermount3), for a user
  // who may not mount.
  static kit::result<std::unique_ptr<driver_node>> mount_by_helper(emulator::driver& driver,
                                                                   node_attributes attributes,
                                                                   const std::string& path);

  // Unmounts the node, lazily where this process mounted it, so that a
  // command still holding it open does not keep the mount, or the
  // emulator, alive.
  ~driver_node();
  driver_node(const driver_node&) = delete;
  driver_node& operator=(const driver_node&) = delete;

  // The descriptor to wait on for the kernel's next request.
  int fd() const;

  // Reads and answers one request.  False once the file is unmounted.
  bool handle_request();

  // Scans that take time: how long until the driver answers the next one
  // (or until the callers still waiting after a signal are looked at again),
  // and replying to those it has answered by now.
  std::optional<scan_clock::duration> time_to_next_answer(scan_clock::time_point now) const;
  void reply_to_finished_requests(scan_clock::time_point now);

 private:
  friend struct node_operations;
  driver_node(emulator::driver& driver, node_attributes attributes);
  // A node with its FUSE session, not yet mounted.
  static kit::result<std::unique_ptr<driver_node>> start(emulator::driver& driver, node_attributes attributes,
                                                         const char* mount_options);

  emulator::driver& driver_;
  node_attributes attributes_;
  time_t created_;  // the node's times
  // What the destructor undoes: a mount of this process's, or the helper's.
  std::string mounted_on_;
  bool mounted_by_helper_ = false;
  fuse_session* session_ = nullptr;
  // Where libfuse reads each request, grown as it needs.
  struct buffer_release {
    void operator()(fuse_buf* buffer) const;
  };
  std::unique_ptr<fuse_buf, buffer_release> buffer_;
  // The kernel's requests still pending, by ticket: whether each is a read,
  // the thread that made it, and whether the kernel has told of a signal
  // that did not end the wait (the caller's signals are then watched).
  struct waiting_request {
    fuse_req* req;
    bool is_read;
    pid_t caller;
    bool watched = false;
  };
  std::map<uint64_t, waiting_request> waiting_;
  // Interrupts the driver's request under ticket once its caller's signals
  // end the wait; otherwise keeps watching them.
  void judge_signals(uint64_t ticket, waiting_request& waiting);
};

}  // namespace blindscan::emulator
