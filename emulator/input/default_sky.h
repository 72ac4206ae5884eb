// The sky built into the emulator (default.sky), and the name its messages carry.
#pragma once

#include <string_view>

namespace blindscan::emulator {

extern const std::string_view default_sky_text;
inline constexpr std::string_view default_sky_name = "built-in sky";

}  // namespace blindscan::emulator
