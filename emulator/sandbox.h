// The mount plumbing: /dev/fuse, a private mount namespace with a /dev of its
// own (so the emulated node exists only for the command), and the FUSE mount.
#pragma once

#include <string>

#include "emulator/result.h"

namespace blindscan::emulator {

// Opens /dev/fuse for a FUSE session; the failure says what is missing.
result<int> open_fuse_device();

// Moves this process into a private mount namespace (as root; otherwise
// inside a user namespace that maps the caller to root) and gives it a /dev
// of its own: the real /dev with its submounts (/dev/pts, /dev/shm, ...),
// in which new nodes can be created without touching the real one.
result<void> enter_private_dev();

// Makes path an empty regular file unless something is there already.
result<void> create_node(const std::string& path);

// Mounts the FUSE connection fuse_fd on path, as a regular file owned by the
// caller that the kernel opens to every user its permission bits admit.
result<void> mount_fuse_file(int fuse_fd, const std::string& path);

// Detaches the mount on path.
void unmount(const std::string& path);

}  // namespace blindscan::emulator
