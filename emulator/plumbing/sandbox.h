// The namespace sandbox: a private mount namespace with a /dev of its own,
// so that the emulated node exists only for the command.
#pragma once

#include <string>

#include "kit/result.h"

namespace blindscan::emulator {

// Moves this process into a private mount namespace (as root; otherwise
// inside a user namespace that maps the caller to root) and gives it a /dev
// of its own: the real /dev with its submounts (/dev/pts, /dev/shm, ...),
// in which new nodes can be created without touching the real one.
kit::result<void> enter_private_dev();

// Makes path an empty regular file unless something is there already.
kit::result<void> create_node(const std::string& path);

}  // namespace blindscan::emulator
