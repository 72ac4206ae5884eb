#include "kit/option_table.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "kit/shared_options.h"

namespace blindscan::kit {
namespace {

// What the setters were called with, "--option=value", in their order.
struct calls {
  std::vector<std::string> taken;
};

result<void> take(calls& chosen, std::string_view option, const char* value) {
  chosen.taken.push_back(std::string(option) + "=" + value);
  return {};
}

result<void> refuse(calls&, std::string_view option, const char* value) {
  return failure{std::string(option) + " refuses " + value};
}

enum : int { output_id, add_id, flag_id, bad_id, long_id, sweep_id, lnb_id, id_count };

constexpr option_row<calls> rows[] = {
    {output_id, output_text, take},
    {add_id, {"add", "X", "add X"}, take},
    {flag_id, {"flag", nullptr, "a flag", 'f'}, take},
    {bad_id, {"bad", "X", "refuses X"}, refuse},
    {long_id, {"a-rather-long-name", "VALUE", "its text on the next line"}, take},
    {sweep_id, sweep_text, take},
    {lnb_id, report_lnb_text, take},
};
constexpr option_table table{rows};
static_assert(table.size() == id_count && table.rows_follow_ids());

struct parse_case {
  std::vector<std::string_view> arguments;
  operand_order order;
  std::vector<std::string> taken;
  std::vector<std::string> operands;
  bool separated;
};

class ReadCommandLine : public testing::TestWithParam<parse_case> {};

// Each setter is called as its option is read, short letters and grouped
// ones among them, and what is no option is left in its order.
TEST_P(ReadCommandLine, CallsTheSettersInOrder) {
  calls chosen;
  const result<command_line> line = table.parse(GetParam().arguments, chosen, GetParam().order);
  ASSERT_TRUE(line) << line.error();
  EXPECT_EQ(chosen.taken, GetParam().taken);
  EXPECT_EQ(line->operands, GetParam().operands);
  EXPECT_EQ(line->separated, GetParam().separated);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, ReadCommandLine,
    testing::Values(
        parse_case{{"-o", "f", "a.txt", "--add=1", "-fo-", "--add", "2", "b.txt"},
                   operand_order::anywhere,
                   {"--output=f", "--add=1", "--flag=", "--output=-", "--add=2"},
                   {"a.txt", "b.txt"},
                   false},
        parse_case{{"-f", "cmd", "--add", "1"},
                   operand_order::after_options,
                   {"--flag="},
                   {"cmd", "--add", "1"},
                   false},
        parse_case{{"--add", "--", "--", "-f"}, operand_order::after_options, {"--add=--"}, {"-f"}, true}));

TEST(ReadCommandLine, NamesABadValueBeforeLookingFurther) {
  calls chosen;
  const result<command_line> line =
      table.parse(std::vector<std::string_view>{"--bad", "1", "--unknown"}, chosen, operand_order::anywhere);
  ASSERT_FALSE(line);
  EXPECT_EQ(line.error(), "--bad refuses 1");
}

TEST(OptionEntries, PutEachTextInItsColumnWithEveryFactFilledIn) {
  const std::string entries = table.entries();
  EXPECT_TRUE(entries.starts_with("  -o, --output FILE   write the output to FILE")) << entries;
  EXPECT_NE(entries.find("\n  -f, --flag          a flag\n"), std::string::npos) << entries;
  EXPECT_NE(entries.find("\n  --a-rather-long-name VALUE\n                      its text on the next line\n"),
            std::string::npos)
      << entries;
  EXPECT_EQ(entries.find('{'), std::string::npos) << entries;
}

struct fill_case {
  const char* text;
  const char* filled;
};

class AppendFilled : public testing::TestWithParam<fill_case> {};

// After 67 columns, a word ending on the last column stays on its line, the
// two spaces before it kept; one more goes on the next line, indented.
TEST_P(AppendFilled, BreaksAtTheWidth) {
  std::string help(67, 'x');
  append_filled(help, GetParam().text, help.size(), 4);
  EXPECT_EQ(help.substr(67), GetParam().filled);
}

INSTANTIATE_TEST_SUITE_P(Edges, AppendFilled,
                         testing::Values(fill_case{"abcde  fghij", "abcde  fghij\n"},
                                         fill_case{"abcde  fghij klmno", "abcde  fghij\n    klmno\n"}));

}  // namespace
}  // namespace blindscan::kit
