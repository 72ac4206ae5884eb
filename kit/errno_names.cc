#include "kit/errno_names.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "kit/messages.h"

namespace blindscan::kit {

namespace {

// Every errno value Linux defines lies below this.
constexpr int errno_end = 4096;

struct alias {
  std::string_view name;
  int value;
};

// Second names of a value, which the C library names by its first one.
constexpr alias aliases[] = {{"EWOULDBLOCK", EWOULDBLOCK}, {"ENOTSUP", ENOTSUP}, {"EDEADLOCK", EDEADLOCK}};

// The errno value a name stands for; nothing for unknown names.
std::optional<int> errno_from_name(std::string_view name) {
  for (const alias& entry : aliases)
    if (entry.name == name) return entry.value;
  for (int value = 1; value < errno_end; ++value) {
    const char* known = strerrorname_np(value);
    if (known != nullptr && name == known) return value;
  }
  return std::nullopt;
}

}  // namespace

result<int> errno_value(std::string_view name) {
  if (const std::optional<int> value = errno_from_name(name)) return *value;
  return failure{"unknown errno name " + quoted(name) + " (use a name such as EIO)"};
}

std::string errno_name(int value) {
  const char* known = strerrorname_np(value);
  return known != nullptr ? std::string(known) : std::to_string(value);
}

}  // namespace blindscan::kit
