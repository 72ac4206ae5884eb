// Symbolic errno names, for the fault options and the event log, as the C
// library knows them, so they are right on every architecture.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace blindscan::kit {

// The errno value a name such as "EIO" stands for; nothing for unknown names.
std::optional<int> errno_from_name(std::string_view name);

// The name of an errno value ("EIO"), or its decimal value if it has none.
std::string errno_name(int value);

}  // namespace blindscan::kit
