#include "tool/arguments.h"
#include "common/convert_argument.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace blindscan::tool {
namespace {

using common::convert_argument;

struct conversion_case {
  const char* text;
  int32_t expected;
};

class ConvertArgument : public testing::TestWithParam<conversion_case> {};

TEST_P(ConvertArgument, ConvertsLikeStrtolBaseZeroSaturatedTo32Bits) {
  EXPECT_EQ(convert_argument(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Bases, ConvertArgument,
                         testing::Values(conversion_case{"0x10", 16}, conversion_case{"0X1f", 31},
                                         conversion_case{"010", 8}, conversion_case{"08", 0},
                                         conversion_case{"0", 0}, conversion_case{"0x", 0},
                                         conversion_case{"1234", 1234}, conversion_case{"0xzz", 0}));

INSTANTIATE_TEST_SUITE_P(JunkAndSpace, ConvertArgument,
                         testing::Values(conversion_case{"12abc", 12}, conversion_case{"abc", 0},
                                         conversion_case{"", 0}, conversion_case{"  42", 42},
                                         conversion_case{"\t\n 7 8", 7}, conversion_case{"- 5", 0},
                                         conversion_case{"11750.5", 11750}));

INSTANTIATE_TEST_SUITE_P(Signs, ConvertArgument,
                         testing::Values(conversion_case{"-5", -5}, conversion_case{"+7", 7},
                                         conversion_case{" -0x1F", -31}, conversion_case{"-010", -8},
                                         conversion_case{"+-3", 0}));

INSTANTIATE_TEST_SUITE_P(
    Saturation, ConvertArgument,
    testing::Values(conversion_case{"2147483647", INT32_MAX}, conversion_case{"2147483648", INT32_MAX},
                    conversion_case{"4294967295", INT32_MAX}, conversion_case{"0xFFFFFFFF", INT32_MAX},
                    conversion_case{"99999999999999999999999", INT32_MAX},
                    conversion_case{"-2147483648", INT32_MIN}, conversion_case{"-2147483649", INT32_MIN},
                    conversion_case{"-0x80000000", INT32_MIN}, conversion_case{"-0x80000001", INT32_MIN},
                    conversion_case{"-99999999999999999999999", INT32_MIN}));

TEST(ConvertArguments, FillsDeviceNumberThenRequestFieldsInArgumentOrder) {
  const char* const argv[] = {"mivo_blindscan", "3", "950", "0x834", "-1", "45000", "010", "-2", nullptr};
  const arguments converted = convert_arguments(argv);
  EXPECT_EQ(converted.device_number, 3);
  EXPECT_EQ(converted.request.min_freq, 950);
  EXPECT_EQ(converted.request.max_freq, 0x834);
  EXPECT_EQ(converted.request.min_symbol, -1);
  EXPECT_EQ(converted.request.max_symbol, 45000);
  EXPECT_EQ(converted.request.pol, 8);
  EXPECT_EQ(converted.request.hilow_band, -2);
}

}  // namespace
}  // namespace blindscan::tool
