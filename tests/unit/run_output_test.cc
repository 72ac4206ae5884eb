// The whole run, through the tool linked against a fake driver, with
// standard output on descriptors that take everything or nothing: the exit
// status must say whether the report was delivered.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Runs the tool on a scan of records records with standard output on out;
// file_size_limit, when not 0, caps what it may write to a file, and
// write_bytes, when not 0, what one write to standard output takes (-1:
// nothing, the write returning 0).  Returns the exit status, or -1 when it
// did not exit, as when an alarm after 20 s ends a run that hangs.
int run_tool(int records, int out, rlim_t file_size_limit = 0, long write_bytes = 0) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(20);
    if (file_size_limit != 0) {
      // Past the limit a write fails with EFBIG instead of raising SIGXFSZ.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{file_size_limit, file_size_limit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    setenv("FAKE_DRIVER_RECORDS", std::to_string(records).c_str(), 1);
    setenv("FAKE_DRIVER_WRITE_BYTES", std::to_string(write_bytes).c_str(), 1);
    dup2(out, STDOUT_FILENO);
    // A cross build runs the tool through the same emulator as the tests.
    const char* launcher = FAKE_DRIVER_LAUNCHER;
    const char* const tool = FAKE_DRIVER_TOOL;
    if (launcher[0] != '\0') {
      execl(launcher, launcher, tool, "0", "950000", "2150000", "2000", "45000", "0", "0",
            static_cast<char*>(nullptr));
    } else {
      execl(tool, "mivo_blindscan", "0", "950000", "2150000", "2000", "45000", "0", "0",
            static_cast<char*>(nullptr));
    }
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string file_contents(int fd) {
  std::string all;
  char chunk[4096];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = read(fd, chunk, sizeof(chunk))) > 0;) all.append(chunk, static_cast<size_t>(n));
  return all;
}

const std::string open_path_line = "open path /dev/blindscan0\n";
const std::string report_line =
    "OK HORIZONTAL 10750000 27500 DVB-S INVERSION_AUTO PILOT_ON FEC_AUTO QPSK ROLLOFF_35\n";

struct full_output_case {
  int records;
  int status;
};

class RunOnFullOutput : public testing::TestWithParam<full_output_case> {};

// Standard output that takes nothing: a report that cannot be delivered
// ends the run in failure; with nothing to report there is nothing to lose
// (the buffered diagnostics are flushed at exit, their result unexamined).
TEST_P(RunOnFullOutput, FailsOnlyWhenAReportIsLost) {
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  EXPECT_EQ(run_tool(GetParam().records, full), GetParam().status);
  close(full);
}

INSTANTIATE_TEST_SUITE_P(Records, RunOnFullOutput,
                         testing::Values(full_output_case{0, 0}, full_output_case{2, 255},
                                         full_output_case{120, 255}));

class RunToAFile : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/run_output_test.XXXXXX";
    out_ = mkstemp(name);
    ASSERT_GE(out_, 0);
    unlink(name);
  }
  void TearDown() override { close(out_); }
  int out_ = -1;
};

TEST_F(RunToAFile, HoldsTheReportThenTheOpenPathLine) {
  EXPECT_EQ(run_tool(2, out_), 0);
  EXPECT_EQ(file_contents(out_), report_line + report_line + open_path_line);
}

TEST_F(RunToAFile, EmptyScanHoldsOnlyTheOpenPathLine) {
  EXPECT_EQ(run_tool(0, out_), 0);
  EXPECT_EQ(file_contents(out_), open_path_line);
}

// The file has room for only part of the report: the report is lost, so
// the run must not succeed.
TEST_F(RunToAFile, RoomForPartOfTheReportIsAFailure) {
  EXPECT_EQ(run_tool(2, out_, report_line.size() + 10), 255);
  EXPECT_EQ(file_contents(out_), report_line + report_line.substr(0, 10));
}

// A write that returns 0 has taken nothing and would take nothing again.
TEST_F(RunToAFile, AWriteThatTakesNothingIsAFailure) { EXPECT_EQ(run_tool(2, out_, 0, -1), 255); }

class RunOnShortWrites : public RunToAFile, public testing::WithParamInterface<long> {};

// An output that takes only part of each write: every write resumes where
// the last one stopped, so the whole report arrives once, in order.  (The
// longest line is 92 bytes; 91, 92 and 93 cut around such a line's end.)
TEST_P(RunOnShortWrites, DeliverTheWholeReportOnceInOrder) {
  std::string report;
  for (int i = 0; i < 120; ++i) report += report_line;
  EXPECT_EQ(run_tool(120, out_, 0, GetParam()), 0);
  EXPECT_EQ(file_contents(out_), report + open_path_line);
}

INSTANTIATE_TEST_SUITE_P(BytesPerWrite, RunOnShortWrites, testing::Values(1L, 5L, 91L, 92L, 93L, 4096L));

}  // namespace
