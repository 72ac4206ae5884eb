#include "emulator/model/events.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <ostream>

#include <cerrno>
#include <string>

namespace blindscan::emulator {
namespace {

struct flags_case {
  int flags;
  const char* text;
};

// Names the case in test listings.
void PrintTo(const flags_case& c, std::ostream* os) { *os << c.text; }

class OpenFlags : public testing::TestWithParam<flags_case> {};

TEST_P(OpenFlags, AreNamed) { EXPECT_EQ(events::open_flags(GetParam().flags), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(Flags, OpenFlags,
                         testing::Values(flags_case{O_RDWR, "O_RDWR"}, flags_case{O_RDONLY, "O_RDONLY"},
                                         flags_case{O_WRONLY | O_APPEND, "O_WRONLY|O_APPEND"},
                                         flags_case{O_RDWR | O_NONBLOCK, "O_RDWR|O_NONBLOCK"},
                                         flags_case{O_RDWR | O_SYNC, "O_RDWR|O_SYNC"},
                                         flags_case{O_RDWR | O_DSYNC, "O_RDWR|O_DSYNC"},
                                         flags_case{O_RDONLY | O_NOATIME | O_NOFOLLOW,
                                                    "O_RDONLY|O_NOFOLLOW|O_NOATIME"}));

#if defined(__x86_64__)
TEST(OpenFlags, LeaveOutTheLargeFileBitAndShowUnknownBitsInHex) {
  EXPECT_EQ(events::open_flags(O_RDWR | 0100000), "O_RDWR");
  EXPECT_EQ(events::open_flags(O_RDWR | 0x40000000), "O_RDWR|0x40000000");
}
#endif

struct event_case {
  std::string line;
  const char* expected;
};

// Names the case in test listings.
void PrintTo(const event_case& c, std::ostream* os) { *os << c.expected; }

class Events : public testing::TestWithParam<event_case> {};

TEST_P(Events, NameTheEventThenEachFieldAsNameEqualsValue) {
  EXPECT_EQ(GetParam().line, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Events,
    testing::Values(event_case{events::mounted("/dev/blindscan-1"), "mounted path=/dev/blindscan-1"},
                    event_case{events::opened(O_RDWR), "open flags=O_RDWR"},
                    // Fields as received, signed decimal.
                    event_case{events::scan_requested(0x40186201, {950, -2150, INT32_MIN, INT32_MAX, -1, 0}),
                               "ioctl cmd=0x40186201 min_freq=950 max_freq=-2150 min_symbol=-2147483648 "
                               "max_symbol=2147483647 pol=-1 hilow_band=0"},
                    event_case{events::unknown_request(0x5401, ENOTTY),
                               "ioctl-unknown cmd=0x5401 errno=ENOTTY"},
                    event_case{events::scan_failed(ETIMEDOUT), "ioctl-failed errno=ETIMEDOUT"},
                    event_case{events::scan_failed(4095), "ioctl-failed errno=4095"},
                    event_case{events::scan_interrupted(), "ioctl-interrupted"},
                    event_case{events::records_read(1440, 576), "read size=1440 delivered=576"},
                    event_case{events::read_failed(1440, EIO), "read-failed size=1440 errno=EIO"},
                    event_case{events::write_refused(12), "write size=12 refused"},
                    event_case{events::released(), "release"}));

}  // namespace
}  // namespace blindscan::emulator
