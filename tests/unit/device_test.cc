#include "device/blindscan_device.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace blindscan::device {
namespace {

struct path_case {
  int32_t device_number;
  const char* expected;
};

class DevicePath : public testing::TestWithParam<path_case> {};

TEST_P(DevicePath, IsPrefixAndSignedDecimalInAClearedArea) {
  char path[path_area_size];
  std::memset(path, 'x', sizeof(path));
  format_device_path(path, GetParam().device_number);
  EXPECT_STREQ(path, GetParam().expected);
  for (size_t i = std::strlen(GetParam().expected); i < sizeof(path); ++i) ASSERT_EQ(path[i], '\0') << i;
}

INSTANTIATE_TEST_SUITE_P(Numbers, DevicePath,
                         testing::Values(path_case{0, "/dev/blindscan0"}, path_case{3, "/dev/blindscan3"},
                                         path_case{-1, "/dev/blindscan-1"}, path_case{10, "/dev/blindscan10"},
                                         path_case{INT32_MAX, "/dev/blindscan2147483647"},
                                         path_case{INT32_MIN, "/dev/blindscan-2147483648"}));

struct count_case {
  size_t bytes;
  int records;
};

class RecordCount : public testing::TestWithParam<count_case> {};

TEST_P(RecordCount, CountsWholeRecordsOnly) { EXPECT_EQ(record_count(GetParam().bytes), GetParam().records); }

INSTANTIATE_TEST_SUITE_P(Reads, RecordCount,
                         testing::Values(count_case{0, 0}, count_case{11, 0}, count_case{12, 1},
                                         count_case{25, 2}, count_case{1439, 119}, count_case{1440, 120}));

struct system_case {
  uint32_t flags;
  bool recognised;
  delivery_system system;
};

class DeliverySystem : public testing::TestWithParam<system_case> {};

TEST_P(DeliverySystem, ReadsBitsTwoToFourOnly) {
  delivery_system decoded = delivery_system::dvb_s;
  ASSERT_EQ(decode_delivery_system(GetParam().flags, decoded), GetParam().recognised)
      << std::hex << GetParam().flags;
  if (GetParam().recognised) {
    EXPECT_EQ(decoded, GetParam().system);
  }
}

INSTANTIATE_TEST_SUITE_P(Flags, DeliverySystem,
                         testing::Values(system_case{0x0, true, delivery_system::dvb_s},
                                         system_case{0x4, true, delivery_system::dvb_s2},
                                         system_case{0xFFFFFFE3u, true, delivery_system::dvb_s},
                                         system_case{0xFFFFFFE7u, true, delivery_system::dvb_s2},
                                         system_case{0x3, true, delivery_system::dvb_s},
                                         system_case{0x20, true, delivery_system::dvb_s},
                                         system_case{0x8, false, {}}, system_case{0x14, false, {}},
                                         system_case{0x1c, false, {}}, system_case{0xFFFFFFFFu, false, {}}));

}  // namespace
}  // namespace blindscan::device
