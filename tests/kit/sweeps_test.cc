#include "kit/sweeps.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace blindscan::kit {
namespace {

// A sweep's arguments are read as the tool reads them; what the tool would
// read only in part, or a range the wrong way round, is refused.
TEST(ParseSweep, ReadsTheArgumentsAsTheToolDoes) {
  const struct {
    const char* arguments;
    device::blindscan_request request;
    const char* refusal;  // "" where the sweep is read
  } rows[] = {
      {" 0 950 2150 1000 45000 0 1 ", {950, 2150, 1000, 45000, 0, 1}, ""},
      {"0 0x3b6 02150 +1000 45000 -1 1", {950, 1128, 1000, 45000, -1, 1}, ""},
      {"0 950 950 1000 1000 0 0", {950, 950, 1000, 1000, 0, 0}, ""},
      {"0 950 2150 1 100000 0", {}, "expected the tool's 7 arguments"},
      {"0 950 2150 1 1e5 0 0", {}, "'1e5' is not a whole number as the tool reads one"},
      {"0 950 2150 1 x 0 0", {}, "the tool would take it as 0"},
      {"0 2150 950 1 100000 0 0", {}, "min_freq is above max_freq"},
      {"0 950 2150 2 1 0 0", {}, "min_symbol is above max_symbol"},
  };
  for (const auto& row : rows) {
    const result<sweep> read = parse_sweep(row.arguments);
    if (*row.refusal != '\0') {
      EXPECT_NE(read ? std::string::npos : read.error().find(row.refusal), std::string::npos)
          << row.arguments;
      continue;
    }
    ASSERT_TRUE(read) << read.error();
    const device::blindscan_request& r = read->request;
    EXPECT_EQ((std::array{r.min_freq, r.max_freq, r.min_symbol, r.max_symbol, r.pol, r.hilow_band}),
              (std::array{row.request.min_freq, row.request.max_freq, row.request.min_symbol,
                          row.request.max_symbol, row.request.pol, row.request.hilow_band}))
        << row.arguments;
  }
}

}  // namespace
}  // namespace blindscan::kit
