#include "emulator/input/answers_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <string>
#include <vector>

namespace blindscan::emulator {
namespace {

// The answers as text: each node's scans and their reads, one word each.
std::string summary(const std::vector<recorded_node>& nodes) {
  const auto end = [](recorded_end e, int error) {
    return e == recorded_end::failed       ? "failed:" + std::to_string(error)
           : e == recorded_end::unfinished ? std::string("unfinished")
                                           : std::string();
  };
  std::string text;
  for (const recorded_node& node : nodes) {
    text += "device " + std::to_string(node.device_number) + ";";
    for (const int error : node.opens)
      text += " open" + (error ? ":" + std::to_string(error) : std::string());
    for (const recorded_scan& scan : node.scans) {
      text += " scan" + end(scan.end, scan.error);
      for (const recorded_read& read : scan.reads)
        text += " read" + (read.end == recorded_end::answered ? std::to_string(read.bytes.size()) + "B"
                                                              : end(read.end, read.error));
    }
    text += "\n";
  }
  return text;
}

TEST(Answers, GiveEachNodeItsScansAndTheirReadsInOrder) {
  const kit::result<std::vector<recorded_node>> parsed = parse_answers(
      "# recorded\n"
      "device -1\r\n"
      "scan\r\n"
      "read 0c000000 ff  # a comment\n"
      "read\n"
      "read failed EIO\n"
      "scan failed EBUSY\n"
      "scan unfinished\n"
      "device 3\n"
      "open failed EBUSY\n"
      "open\n"
      "scan\n"
      "read unfinished\n",
      "a");
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_EQ(summary(*parsed), "device -1; scan read5B read0B readfailed:" + std::to_string(EIO) +
                                  " scanfailed:" + std::to_string(EBUSY) +
                                  " scanunfinished\ndevice 3; open:" + std::to_string(EBUSY) +
                                  " open scan readunfinished\n");
  EXPECT_EQ((*parsed)[0].scans[0].reads[0].bytes, std::string("\x0c\0\0\0\xff", 5));
}

struct bad_answers_case {
  const char* text;
  const char* error;
};

// Names the case in test listings.
void PrintTo(const bad_answers_case& c, std::ostream* os) { *os << c.error; }

class BadAnswers : public testing::TestWithParam<bad_answers_case> {};

TEST_P(BadAnswers, NameFileLineAndWhatIsWrong) {
  const kit::result<std::vector<recorded_node>> parsed = parse_answers(GetParam().text, "a");
  ASSERT_FALSE(parsed);
  EXPECT_EQ(parsed.error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadAnswers,
    testing::Values(  //
        bad_answers_case{"# nothing\n", "a: names no device (a device N line)"},
        bad_answers_case{"scan\n", "a:1: scan before the first device line"},
        bad_answers_case{"device 0\nread\n", "a:2: read before the first scan of device 0"},
        bad_answers_case{"device 1\ndevice 1\n", "a:2: device 1 given twice"},
        bad_answers_case{"device 0\nscan\nread failed EWHAT\n",
                         "a:3: unknown errno name 'EWHAT' (use a name such as EIO)"},
        bad_answers_case{"device 0\nscan\nread 0c0\n", "a:3: hex bytes '0c0' have an odd number of digits"},
        bad_answers_case{"device 0\nclose\n", "a:2: expected device, open, scan or read, found 'close'"},
        bad_answers_case{"device 0\nopen unfinished\n", "a:2: expected open or open failed ERRNO"},
        bad_answers_case{"device 0\nopen junk\n", "a:2: expected open or open failed ERRNO"},

        // Words after a complete answer.
        bad_answers_case{"device 0\nscan unfinished x\n",
                         "a:2: expected scan, scan failed ERRNO or scan unfinished"},
        bad_answers_case{"device 0\nscan failed EIO x\n", "a:2: expected failed ERRNO, such as failed EIO"},
        bad_answers_case{"device 0\nscan 0c00\n",
                         "a:2: expected scan, scan failed ERRNO or scan unfinished"}));

}  // namespace
}  // namespace blindscan::emulator
