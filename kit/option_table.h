// A command's options as one table of rows: getopt_long's table, the help's
// option entries, the checks of which options have an effect together and
// the reading of a command line are all made from it, so that an option
// cannot exist without its help.  It knows no command: each command gives
// rows over its own options struct, each row with the setter that takes the
// option's value into it.
#pragma once

#include <getopt.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kit/result.h"

namespace blindscan::kit {

// A set of a table's options, one bit for each row by its id.
using option_set = uint32_t;
inline constexpr size_t most_options = 32;

constexpr option_set any_of(std::initializer_list<int> ids) {
  option_set set = 0;
  for (const int id : ids) set |= option_set{1} << id;
  return set;
}

// What the user sees of an option: its long name (without "--"), its value
// as the help names it (none for an option that takes none), what it does
// (which may name facts, see with_facts), and its short letter, if any.
struct option_text {
  const char* name;
  const char* value;
  const char* help;
  char letter = 0;
};

// Takes an option's value ("" for an option without one) into chosen, or
// says what is wrong with it, naming the option as option.  It is called as
// the option is read, so that a bad value is named before any other option
// is looked at.
template <typename chosen_type>
using option_setter = result<void> (*)(chosen_type& chosen, std::string_view option, const char* value);

// One option of a command: its id, which is its index in the table, what
// the user sees of it, its setter, and when it has an effect: never beside
// one of idle_beside, and only beside one of needs where that is not empty.
// An option given where it would do nothing is refused, so that no one
// believes it did something.
template <typename chosen_type>
struct option_row {
  int id;
  option_text text;
  option_setter<chosen_type> set;
  option_set idle_beside = 0;
  option_set needs = 0;
};

// A row without its setter: what the help and the checks read.
struct option_rule {
  option_text text;
  option_set idle_beside = 0;
  option_set needs = 0;
};

// Where a command line's operands, its arguments that are no option, stand.
enum class operand_order : uint8_t {
  after_options,  // the options end at the first operand, or at "--" (a command to run)
  anywhere,       // among the options too, which getopt_long moves ahead of them (files to read)
};

// What a command line holds besides the values its setters have taken.
struct command_line {
  option_set given = 0;               // the options given, however often
  std::vector<std::string> operands;  // in their order
  bool separated = false;             // after_options: "--" ended the options
};

// getopt_long's values for long options stay clear of the characters it
// returns for short ones.
inline constexpr int long_option_base = 256;

// The help's width, and the column where an option's text starts.
inline constexpr size_t help_width = 79;
inline constexpr size_t help_text_column = 22;

// A name in a help text, "{name}", and the value it stands for.
struct help_fact {
  std::string_view name;
  std::string value;
};

// text with each fact's name replaced by its value, fact after fact, so
// that a fact's value may name a fact after it.
std::string with_facts(std::string text, std::span<const help_fact> facts);

// Appends text and a line feed to help, whose last line holds column
// characters: its words filled into lines of at most help_width, those
// after the first indented by indent.  The spaces between words on one line
// are kept, as the two after a sentence.
void append_filled(std::string& help, std::string_view text, size_t column, size_t indent);

// A paragraph of a usage text: text with facts and then the kit's shared
// facts (shared_options.h) filled in, filled into lines of help_width.
std::string filled(std::string_view text, std::initializer_list<help_fact> facts = {});

// An option as the user types it, "--name", for messages.
std::string option_name(const option_text& text);

// One entry for each option: "  --name VALUE" (or "  -l, --name VALUE"),
// and what it does from help_text_column, where help2man and a reader
// expect it, with facts and then the kit's shared facts (shared_options.h)
// filled in.
std::string option_entries(std::span<const option_rule> rules, std::span<const help_fact> facts);

// A line for each option that has no effect somewhere: "  --a with --b or
// --c", "  --a without --d".
std::string effect_notes(std::span<const option_rule> rules);

// The first option in given that has no effect beside the others, said so.
result<void> check_effects(std::span<const option_rule> rules, option_set given);

// Calls take with an option's id, name and value, for each option as it is read.
using option_taker = std::function<result<void>(int id, std::string_view option, const char* value)>;

// Reads arguments (those after the program name) with getopt_long over
// long_options and the rules' short letters.  A failure says what is wrong,
// or is empty where getopt_long has said it on standard error.
result<command_line> read_command_line(std::span<const std::string_view> arguments,
                                       std::span<const option_rule> rules, const struct option* long_options,
                                       operand_order order, const option_taker& take);

// A command's table, made from its rows at compile time.
template <typename chosen_type, size_t count>
class option_table {
  static_assert(count <= most_options, "an option_set holds every option");

 public:
  constexpr explicit option_table(const option_row<chosen_type> (&rows)[count]) {
    for (size_t index = 0; index < count; ++index) {
      const option_row<chosen_type>& row = rows[index];
      ids_[index] = row.id;
      rules_[index] = {row.text, row.idle_beside, row.needs};
      setters_[index] = row.set;
      long_options_[index] = {row.text.name, row.text.value != nullptr ? required_argument : no_argument,
                              nullptr, long_option_base + static_cast<int>(index)};
    }
  }

  static constexpr size_t size() { return count; }

  // Whether each row's id is its index, as the setters and sets take it.
  constexpr bool rows_follow_ids() const {
    for (size_t index = 0; index < count; ++index)
      if (ids_[index] != static_cast<int>(index)) return false;
    return true;
  }

  // Reads arguments into chosen, calling each option's setter in turn.
  result<command_line> parse(std::span<const std::string_view> arguments, chosen_type& chosen,
                             operand_order order) const {
    return read_command_line(arguments, rules_, long_options_.data(), order,
                             [&](int id, std::string_view option, const char* value) {
                               return setters_[static_cast<size_t>(id)](chosen, option, value);
                             });
  }

  result<void> check_effects(option_set given) const { return kit::check_effects(rules_, given); }
  std::string entries(std::initializer_list<help_fact> facts = {}) const {
    return option_entries(rules_, std::span<const help_fact>(facts.begin(), facts.size()));
  }
  std::string effect_notes() const { return kit::effect_notes(rules_); }

 private:
  std::array<int, count> ids_{};
  std::array<option_rule, count> rules_{};
  std::array<option_setter<chosen_type>, count> setters_{};
  std::array<struct option, count + 1> long_options_{};
};

// The class of a member pointer's member, for setters named by their field.
template <typename member>
struct member_owner;
template <typename owner, typename type>
struct member_owner<type owner::*> {
  using class_type = owner;
};
template <auto field>
using owner_of = typename member_owner<decltype(field)>::class_type;

// Setters of the simplest options, by the field they set: an option without
// a value, which sets a flag; one whose value is any text; and one whose
// value is a file name, which cannot be empty.
template <auto field>
result<void> set_flag(owner_of<field>& chosen, std::string_view, const char*) {
  chosen.*field = true;
  return {};
}

template <auto field>
result<void> set_text(owner_of<field>& chosen, std::string_view, const char* value) {
  chosen.*field = value;
  return {};
}

template <auto field>
result<void> set_file_name(owner_of<field>& chosen, std::string_view option, const char* value) {
  if (*value == '\0') return failure{std::string(option) + " needs a file name"};
  chosen.*field = value;
  return {};
}

}  // namespace blindscan::kit
