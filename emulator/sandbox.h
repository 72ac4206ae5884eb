// The mount plumbing: /dev/fuse, a private mount namespace with a /dev of its
// own (so the emulated node exists only for the command), and the FUSE mount.
#pragma once

#include <string>

namespace blindscan::emulator {

// Opens /dev/fuse for a FUSE session; -1 with error saying what is missing.
int open_fuse_device(std::string& error);

// Moves this process into a private mount namespace (as root; otherwise
// inside a user namespace that maps the caller to root) and gives it a /dev
// of its own: the real /dev with its submounts (/dev/pts, /dev/shm, ...),
// in which new nodes can be created without touching the real one.
bool enter_private_dev(std::string& error);

// Makes path an empty regular file unless something is there already.
bool create_node(const std::string& path, std::string& error);

// Mounts the FUSE connection fuse_fd on path, as a regular file owned by the
// caller that the kernel opens to every user its permission bits admit.
bool mount_fuse_file(int fuse_fd, const std::string& path, std::string& error);

// Detaches the mount on path.
void unmount(const std::string& path);

}  // namespace blindscan::emulator
