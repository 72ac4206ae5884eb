// Symbolic errno names, for the fault options and the event log, as the C
// library knows them, so they are right on every architecture.
#pragma once

#include <string>
#include <string_view>

#include "kit/result.h"

namespace blindscan::kit {

// The errno value a name such as "EIO" stands for, or the failure that says
// the name is unknown and what one looks like.
result<int> errno_value(std::string_view name);

// The name of an errno value ("EIO"), or its decimal value if it has none.
std::string errno_name(int value);

}  // namespace blindscan::kit
