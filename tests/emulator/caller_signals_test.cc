#include "emulator/model/caller_signals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>

namespace blindscan::emulator {
namespace {

// A mask of one signal, or of none, as /proc prints it (16 hex digits).
std::string mask(int signal = 0) {
  char text[17];
  std::snprintf(text, sizeof(text), "%016llx", signal ? 1ULL << (signal - 1) : 0ULL);
  return text;
}

struct signal_case {
  const char* what;
  std::string own, shared, blocked, ignored, caught;
  bool ends;
};

TEST(CallerSignals, OnlyADeliveredSignalEndsTheWait) {
  const signal_case cases[] = {
      {"a tracer's attach: nothing pending", mask(), mask(), mask(), mask(), mask(), false},
      {"stopped", mask(), mask(SIGSTOP), mask(), mask(), mask(), false},
      {"continued", mask(), mask(SIGCONT), mask(), mask(), mask(), false},
      {"a child ended", mask(), mask(SIGCHLD), mask(), mask(), mask(), false},
      {"a caught signal, sent to the process", mask(), mask(SIGUSR1), mask(), mask(), mask(SIGUSR1), true},
      {"a caught signal, blocked", mask(SIGUSR1), mask(), mask(SIGUSR1), mask(), mask(SIGUSR1), false},
      {"a caught stop signal", mask(SIGTSTP), mask(), mask(), mask(), mask(SIGTSTP), true},
      {"killed by default", mask(SIGKILL), mask(), mask(), mask(), mask(), true},
      {"terminated by default", mask(), mask(SIGTERM), mask(), mask(), mask(), true},
      {"an ignored terminate", mask(), mask(SIGTERM), mask(), mask(SIGTERM), mask(), false},
  };
  for (const signal_case& c : cases) {
    const std::string status = "Name:\tmivo_blindscan\nSigQ:\t0/1000\nSigPnd:\t" + c.own + "\nShdPnd:\t" +
                               c.shared + "\nSigBlk:\t" + c.blocked + "\nSigIgn:\t" + c.ignored +
                               "\nSigCgt:\t" + c.caught + "\nCapInh:\t0000000000000000\n";
    ASSERT_TRUE(parse_caller_signals(status)) << c.what;
    EXPECT_EQ(status_ends_wait(status), c.ends) << c.what;
  }
  EXPECT_TRUE(status_ends_wait("")) << "a caller that is gone";
}

// MIPS prints 128 signals; a set missing or not hex is no answer.
TEST(CallerSignals, ReadsWideMasksAndRefusesBrokenOnes) {
  const std::string wide(32, '0');
  const std::string sets = "SigBlk:\t" + wide + "\nSigIgn:\t" + wide + "\nSigCgt:\t" + wide + "\n";
  const std::optional<caller_signals> mips =
      parse_caller_signals("SigPnd:\t8" + wide.substr(1) + "\nShdPnd:\t" + wide + "\n" + sets);
  ASSERT_TRUE(mips);
  EXPECT_TRUE(mips->pending[127]);
  EXPECT_EQ(parse_caller_signals("SigPnd:\t" + wide + "\n" + sets), std::nullopt);
  EXPECT_EQ(parse_caller_signals("SigPnd:\t0x1\nShdPnd:\t0\n" + sets), std::nullopt);
}

}  // namespace
}  // namespace blindscan::emulator
