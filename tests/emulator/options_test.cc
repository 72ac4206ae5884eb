#include "emulator/input/options.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

namespace blindscan::emulator {
namespace {

kit::result<options> parse(std::vector<std::string_view> arguments) { return parse_options(arguments); }

// The message of a parse that fails; empty for one that succeeds.
std::string error_of(std::vector<std::string_view> arguments) {
  const kit::result<options> parsed = parse(std::move(arguments));
  return parsed ? "" : parsed.error();
}

struct bad_case {
  std::vector<std::string_view> arguments;
  const char* error;
};

// Names the case in test listings.
void PrintTo(const bad_case& c, std::ostream* os) {
  for (const auto& argument : c.arguments) *os << "[" << argument << "]";
}

class BadOptions : public testing::TestWithParam<bad_case> {};

TEST_P(BadOptions, AreRefusedWithAReason) { EXPECT_EQ(error_of(GetParam().arguments), GetParam().error); }

INSTANTIATE_TEST_SUITE_P(
    Refused, BadOptions,
    testing::Values(
        bad_case{{}, "nothing to do: give '-- COMMAND' or --serve PATH"},
        // getopt says what is wrong on standard error.
        bad_case{{"--verbose", "--", "true"}, ""},
        bad_case{{"true"}, "unexpected argument 'true' (a command goes after '--')"},
        bad_case{{"--"}, "no command after '--'"}, bad_case{{"--device"}, ""},
        // "--" as an option's value does not end the options.
        bad_case{{"--log", "--", "true"}, "unexpected argument 'true' (a command goes after '--')"},
        bad_case{{"--fail-ioctl", "EIOX", "--", "true"},
                 "--fail-ioctl: unknown errno name 'EIOX' (use a name such as EIO)"},
        bad_case{{"--fail-read=5", "--", "true"},
                 "--fail-read: unknown errno name '5' (use a name such as EIO)"},
        bad_case{{"--read-bytes", "-1", "--", "true"}, "--read-bytes needs a byte count, not '-1'"},
        bad_case{
            {"--fault", "0:hang", "--", "true"},
            "--fault needs SCAN:FAULT or SCAN+:FAULT, SCAN counted from 1 (such as 2:fail-ioctl=EBUSY or "
            "3+:hang), not '0:hang'"},
        bad_case{
            {"--fault", "2:nap", "--", "true"},
            "--fault '2:nap': no fault 'nap' (fail-ioctl=ERRNO, hang, fail-read=ERRNO, read-bytes=BYTES, "
            "no-tone, tone-stuck, pol-stuck=H|V, skew, cable-loss=MHZ or rate-floor=KSYM)"},
        bad_case{{"--fault", "3:pol-stuck=X", "--", "true"},
                 "--fault '3:pol-stuck=X': pol-stuck: give the polarisation the LNB is stuck on, H or V"},
        bad_case{{"--scan-ms", "3600001", "--", "true"},
                 "--scan-ms needs milliseconds from 0 to 3600000, not '3600001'"},
        bad_case{{"--mode", "0689", "--", "true"},
                 "--mode needs octal permission bits such as 0600, not '0689'"},
        bad_case{{"--mode", "17777", "--", "true"},
                 "--mode needs octal permission bits such as 0600, not '17777'"},
        bad_case{{"--log=", "--", "true"}, "--log needs a file name"},
        bad_case{{"--sky", "a", "--records", "b", "--", "true"},
                 "--sky, --satellite, --records and --answers exclude each other"},
        bad_case{{"--jitter", "500", "--", "true"},
                 "--jitter needs KHZ,KSYM, two whole numbers such as 500,10, not '500'"},
        bad_case{{"--jitter", "4294967296,0", "--", "true"},
                 "--jitter needs KHZ,KSYM, two whole numbers such as 500,10, not '4294967296,0'"},
        bad_case{{"--seed", "0x10", "--", "true"}, "--seed needs a whole number, not '0x10'"},
        bad_case{{"--serve", "/dev/blindscan0", "--", "true"},
                 "--serve PATH and '-- COMMAND' exclude each other"},
        bad_case{{"--device", "0", "--device", "0x0", "--", "true"}, "--device 0 is given twice"},
        // An option that would do nothing beside another.
        bad_case{{"--device", "1", "--serve", "/dev/blindscan1"}, "--device has no effect with --serve"},
        bad_case{{"--records", "r", "--jitter", "1,1", "--", "true"},
                 "--jitter has no effect with --records"},
        bad_case{{"--answers", "a", "--fail-read", "EIO", "--", "true"},
                 "--fail-read has no effect with --answers"},
        bad_case{{"--read-bytes", "25", "--answers", "a", "--", "true"},
                 "--read-bytes has no effect with --answers"},
        bad_case{{"--fail-read", "EIO", "--read-bytes", "25", "--", "true"},
                 "--read-bytes has no effect with --fail-read"},
        bad_case{{"--jitter", "1,1", "--fail-ioctl", "EIO", "--", "true"},
                 "--jitter has no effect with --fail-ioctl"},
        bad_case{{"--seed", "3", "--", "true"}, "--seed has no effect without --jitter"},
        bad_case{{"--lnb", "30001", "--", "true"},
                 "--lnb: LNB '30001': oscillator 30001 MHz lies outside 2150-30000 MHz"},
        bad_case{{"--records", "r", "--lnb", "C-BAND", "--", "true"}, "--lnb has no effect with --records"},
        // The first installation fault, as it is read, where no search answers.
        bad_case{{"--fault", "2:hang", "--fault", "2+:cable-loss=01800", "--records", "r", "--", "true"},
                 "--fault 2+:cable-loss=1800 has no effect with --records"},
        bad_case{{"--partial", "--", "true"}, "--partial has no effect without --answers"}));

TEST(ParseOptions, TakesEveryOptionInBothSpellings) {
  const kit::result<options> result =
      parse({"--device", "-1", "--sky=s.sky", "--read-bytes", "25", "--scan-ms=3600000", "--log", "l",
             "--mode", "0600", "--jitter=500,10", "--seed", "3", "--", "tool", "--device", "7"});
  ASSERT_TRUE(result) << result.error();
  const options& o = *result;
  EXPECT_EQ(o.device_numbers, std::vector<int32_t>{-1});
  EXPECT_EQ(o.sky_file, "s.sky");
  EXPECT_EQ(o.driver.faults, (std::vector<scan_fault>{{1, true, fault_kind::read_bytes, 0, 25}}));
  EXPECT_EQ(o.driver.scan_time, std::chrono::milliseconds(3600000));
  EXPECT_EQ(o.log_file, "l");
  EXPECT_EQ(o.node_mode, 0600u);
  EXPECT_EQ(o.driver.jitter.khz, 500u);
  EXPECT_EQ(o.driver.jitter.ksym, 10u);
  EXPECT_EQ(o.driver.jitter.seed, 3u);
  // Everything after "--" belongs to the command.
  EXPECT_EQ(o.command, (std::vector<std::string>{"tool", "--device", "7"}));
  // The faults, with errno's first name, which the others leave idle: on
  // every scan, or on those named.
  const auto faults = parse({"--fail-ioctl", "EPERM", "--fail-read=ETIMEDOUT", "--fault",
                             "2:fail-ioctl=EBUSY", "--fault=3+:hang", "--", "tool"});
  ASSERT_TRUE(faults) << faults.error();
  EXPECT_EQ(faults->driver.faults, (std::vector<scan_fault>{{1, true, fault_kind::fail_ioctl, EPERM, 0},
                                                            {1, true, fault_kind::fail_read, ETIMEDOUT, 0},
                                                            {2, false, fault_kind::fail_ioctl, EBUSY, 0},
                                                            {3, true, fault_kind::hang, 0, 0}}));
}

TEST(ParseOptions, DefaultsServeTheBuiltInSkyOnNodeZero) {
  const kit::result<options> result = parse({"--", "true"});
  ASSERT_TRUE(result) << result.error();
  EXPECT_EQ(result->device_numbers, std::vector<int32_t>{0});
  EXPECT_FALSE(result->sky_file || result->satellite || result->records_file);
  EXPECT_TRUE(result->driver.faults.empty());
  EXPECT_EQ(result->driver.scan_time.count(), 0);
  EXPECT_EQ(result->node_mode, 0666u);
}

struct device_case {
  const char* text;
  int32_t number;
};

// Names the case in test listings.
void PrintTo(const device_case& c, std::ostream* os) { *os << c.text; }

class DeviceNumber : public testing::TestWithParam<device_case> {};

// The node the tool opens for the same argument.
TEST_P(DeviceNumber, IsReadAsTheToolReadsIt) {
  const kit::result<options> result = parse({"--device", GetParam().text, "--", "true"});
  ASSERT_TRUE(result) << result.error();
  EXPECT_EQ(result->device_numbers, std::vector<int32_t>{GetParam().number});
}

INSTANTIATE_TEST_SUITE_P(Forms, DeviceNumber,
                         testing::Values(device_case{"0", 0}, device_case{"3", 3}, device_case{"-1", -1},
                                         device_case{"0x2", 2}, device_case{"010", 8},
                                         device_case{"-2147483648", INT32_MIN}, device_case{"12abc", 12},
                                         device_case{"abc", 0}, device_case{"", 0}, device_case{" 1", 1},
                                         device_case{"2147483648", INT32_MAX},
                                         device_case{"-9999999999", INT32_MIN}));

TEST(ParseOptions, ServeNeedsNoCommandAndHelpNeedsNothing) {
  EXPECT_EQ(parse({"--serve", "/dev/blindscan0"})->serve_path, "/dev/blindscan0");
  EXPECT_TRUE(parse({"--help"})->help);
}

// The help as help2man reads it into the manual page: each option's text
// from one column, no line wider than a terminal, every fact filled in.
TEST(Usage, KeepsItsColumnsAndFillsInItsFacts) {
  const std::string help = usage();
  EXPECT_EQ(help.find('{'), std::string::npos) << help;
  std::istringstream lines(help.substr(help.find("\nOptions:\n") + 10));
  for (std::string line; std::getline(lines, line) && !line.empty();) {
    EXPECT_LE(line.size(), 79u) << line;
    // An option and its value, then its text (or, for a long one, on the
    // next line); or more of the text.
    const size_t gap = line.starts_with("  --") ? line.find("  ", 2) : 0;
    if (gap != std::string::npos) {
      EXPECT_EQ(line.find_first_not_of(' ', gap), 22u) << line;
    }
  }
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
}

}  // namespace
}  // namespace blindscan::emulator
