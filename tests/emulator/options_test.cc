#include "emulator/options.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cerrno>
#include <string>
#include <vector>

namespace blindscan::emulator {
namespace {

options_result parse(std::vector<std::string_view> arguments) { return parse_options(arguments); }

struct bad_case {
  std::vector<std::string_view> arguments;
  const char* error;
};

// Names the case in test listings.
void PrintTo(const bad_case& c, std::ostream* os) {
  for (const auto& argument : c.arguments) *os << "[" << argument << "]";
}

class BadOptions : public testing::TestWithParam<bad_case> {};

TEST_P(BadOptions, AreRefusedWithAReason) { EXPECT_EQ(parse(GetParam().arguments).error, GetParam().error); }

INSTANTIATE_TEST_SUITE_P(
    Refused, BadOptions,
    testing::Values(
        bad_case{{}, "nothing to do: give '-- COMMAND' or --serve PATH"},
        bad_case{{"--verbose", "--", "true"}, "unknown option '--verbose'"},
        bad_case{{"true"}, "unexpected argument 'true' (a command goes after '--')"},
        bad_case{{"--"}, "no command after '--'"}, bad_case{{"--device"}, "--device needs a value"},
        bad_case{{"--device", "12abc", "--", "true"}, "--device needs a signed 32-bit number, not '12abc'"},
        bad_case{{"--device", "2147483648", "--", "true"},
                 "--device needs a signed 32-bit number, not '2147483648'"},
        bad_case{{"--device", " 1", "--", "true"}, "--device needs a signed 32-bit number, not ' 1'"},
        bad_case{{"--fail-ioctl", "EIOX", "--", "true"},
                 "--fail-ioctl: unknown errno name 'EIOX' (use a name such as EIO)"},
        bad_case{{"--fail-read=5", "--", "true"},
                 "--fail-read: unknown errno name '5' (use a name such as EIO)"},
        bad_case{{"--read-bytes", "-1", "--", "true"}, "--read-bytes needs a byte count, not '-1'"},
        bad_case{{"--scan-ms", "3600001", "--", "true"},
                 "--scan-ms needs milliseconds from 0 to 3600000, not '3600001'"},
        bad_case{{"--mode", "0689", "--", "true"},
                 "--mode needs octal permission bits such as 0600, not '0689'"},
        bad_case{{"--mode", "17777", "--", "true"},
                 "--mode needs octal permission bits such as 0600, not '17777'"},
        bad_case{{"--log=", "--", "true"}, "--log needs a file name"},
        bad_case{{"--sky", "a", "--records", "b", "--", "true"}, "--sky and --records exclude each other"},
        bad_case{{"--serve", "/dev/blindscan0", "--", "true"},
                 "--serve PATH and '-- COMMAND' exclude each other"}));

TEST(ParseOptions, TakesEveryOptionInBothSpellings) {
  const options_result result =
      parse({"--device", "-1", "--sky=s.sky", "--fail-ioctl", "EIO", "--fail-read=ETIMEDOUT", "--read-bytes",
             "25", "--scan-ms=250", "--log", "l", "--mode", "0600", "--", "tool", "--device", "7"});
  ASSERT_EQ(result.error, "");
  const options& o = result.parsed;
  EXPECT_EQ(o.device_number, -1);
  EXPECT_EQ(o.sky_file, "s.sky");
  EXPECT_EQ(o.fail_ioctl, EIO);
  EXPECT_EQ(o.fail_read, ETIMEDOUT);
  EXPECT_EQ(o.read_bytes, 25u);
  EXPECT_EQ(o.scan_ms, 250u);
  EXPECT_EQ(o.log_file, "l");
  EXPECT_EQ(o.node_mode, 0600u);
  // Everything after "--" belongs to the command.
  EXPECT_EQ(o.command, (std::vector<std::string>{"tool", "--device", "7"}));
}

TEST(ParseOptions, DefaultsServeTheBuiltInSkyOnNodeZero) {
  const options_result result = parse({"--", "true"});
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(result.parsed.device_number, 0);
  EXPECT_EQ(result.parsed.sky_file, "");
  EXPECT_FALSE(result.parsed.fail_ioctl || result.parsed.fail_read || result.parsed.read_bytes);
  EXPECT_EQ(result.parsed.scan_ms, 0u);
  EXPECT_EQ(result.parsed.node_mode, 0666u);
}

struct device_case {
  const char* text;
  int32_t number;
};

// Names the case in test listings.
void PrintTo(const device_case& c, std::ostream* os) { *os << c.text; }

class DeviceNumber : public testing::TestWithParam<device_case> {};

TEST_P(DeviceNumber, AcceptsTheToolsNumberForms) {
  const options_result result = parse({"--device", GetParam().text, "--", "true"});
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(result.parsed.device_number, GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Forms, DeviceNumber,
                         testing::Values(device_case{"0", 0}, device_case{"3", 3}, device_case{"-1", -1},
                                         device_case{"0x2", 2}, device_case{"010", 8},
                                         device_case{"-2147483648", INT32_MIN}));

TEST(ParseOptions, ServeNeedsNoCommandAndHelpNeedsNothing) {
  EXPECT_EQ(parse({"--serve", "/dev/blindscan0"}).parsed.serve_path, "/dev/blindscan0");
  EXPECT_EQ(parse({"--serve", "/dev/blindscan0"}).error, "");
  EXPECT_TRUE(parse({"--help"}).parsed.help);
  EXPECT_EQ(parse({"--help"}).error, "");
}

}  // namespace
}  // namespace blindscan::emulator
