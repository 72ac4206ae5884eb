// How the stand-in's messages name what went wrong: the system's reason for
// a failed call, and what was found, quoted.
#pragma once

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "kit/result.h"

namespace blindscan::kit {

// The failure of the system call that has just set errno: what was tried,
// and the C library's words for why it failed.
inline failure failed(const std::string& what) { return failure{what + ": " + std::strerror(errno)}; }

// text in single quotes, as a message shows what it found.
inline std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace blindscan::kit
