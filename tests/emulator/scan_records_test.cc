#include "emulator/model/scan_records.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace blindscan::emulator {
namespace {

struct delivery_case {
  const char* name;
  size_t available;
  bool whole_records;
  uint64_t offset;
  size_t asked;
  std::optional<size_t> read_limit;
  size_t delivered;
};

// Names the case in test listings.
void PrintTo(const delivery_case& c, std::ostream* os) { *os << c.name; }

class DeliveryLength : public testing::TestWithParam<delivery_case> {};

TEST_P(DeliveryLength, IsWhatIsLeftCappedByTheAskAndTheLimit) {
  const delivery_case& c = GetParam();
  const scan_records offered{std::string(c.available, 'x'), c.whole_records};
  EXPECT_EQ(delivery_length(offered, c.offset, c.asked, c.read_limit), c.delivered);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, DeliveryLength,
    testing::Values(delivery_case{"Nothing", 0, true, 0, 1440, std::nullopt, 0},
                    delivery_case{"AllFits", 36, true, 0, 1440, std::nullopt, 36},
                    // More than 120 records on offer: the read takes what fits.
                    delivery_case{"MoreThanFits", 12 * 150, true, 0, 1440, std::nullopt, 1440},
                    delivery_case{"WholeRecordsOnly", 36, true, 0, 30, std::nullopt, 24},
                    delivery_case{"RawBytesCutAnywhere", 36, false, 0, 30, std::nullopt, 30},
                    delivery_case{"RawOfferBeyondTheAsk", 1500, false, 0, 1440, std::nullopt, 1440},
                    // The limit may cut a record: 25 bytes are two records and a byte.
                    delivery_case{"LimitCutsARecord", 36, true, 0, 1440, 25, 25},
                    delivery_case{"LimitZero", 36, true, 0, 1440, 0, 0},
                    delivery_case{"LimitAboveOffer", 36, true, 0, 1440, 1000, 36},
                    delivery_case{"SecondReadGetsTheRest", 36, true, 24, 1440, std::nullopt, 12},
                    delivery_case{"ReadAtTheEnd", 36, true, 36, 1440, std::nullopt, 0},
                    delivery_case{"ReadBeyondTheEnd", 36, true, 1000, 1440, std::nullopt, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnswerFromRecords, HoldsTheRecordsBackToBackInNativeOrder) {
  const std::vector<device::blindscan_result> records = {{1, 2, 3}, {0x01020304, 5, 6}};
  const scan_records searched = searched_records(records);
  ASSERT_EQ(searched.bytes.size(), 24u);
  EXPECT_TRUE(searched.whole_records);
  device::blindscan_result second{};
  std::memcpy(&second, searched.bytes.data() + 12, sizeof(second));
  EXPECT_EQ(second.frequency, 0x01020304u);
  EXPECT_EQ(second.flags, 6u);
}

}  // namespace
}  // namespace blindscan::emulator
