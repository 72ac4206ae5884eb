#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "emulator/input/default_sky.h"
#include "kit/sky_file.h"

namespace blindscan::emulator {
namespace {

using device::delivery_system;

// What the demonstration and the README promise about the built-in sky.
TEST(DefaultSky, IsAPlausibleKuBandSatellite) {
  const kit::result<std::vector<kit::transponder>> parsed =
      kit::parse_sky(default_sky_text, default_sky_name);
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_GE(parsed->size(), 80u);
  std::set<bool> polarisations;
  std::set<delivery_system> systems;
  uint32_t narrowest = UINT32_MAX, widest = 0;
  for (const kit::transponder& t : *parsed) {
    EXPECT_GE(t.downlink_khz, 10'700'000u);
    EXPECT_LE(t.downlink_khz, 12'750'000u);
    polarisations.insert(t.vertical);
    systems.insert(t.system);
    narrowest = std::min(narrowest, t.symbol_rate);
    widest = std::max(widest, t.symbol_rate);
  }
  EXPECT_EQ(polarisations.size(), 2u);
  EXPECT_EQ(systems.size(), 2u);
  EXPECT_LE(narrowest, 2'200u);
  EXPECT_EQ(widest, 45'000u);
}

}  // namespace
}  // namespace blindscan::emulator
