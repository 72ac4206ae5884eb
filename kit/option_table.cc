#include "kit/option_table.h"

#include <errno.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

#include "kit/shared_options.h"

namespace blindscan::kit {

namespace {

// The options of set, as "--a, --b or --c".
std::string option_names(std::span<const option_rule> rules, option_set set) {
  std::string names;
  int remaining = std::popcount(set);
  for (size_t id = 0; id < rules.size(); ++id) {
    if ((set & any_of({static_cast<int>(id)})) == 0) continue;
    names += option_name(rules[id].text);
    --remaining;
    names += remaining > 1 ? ", " : remaining == 1 ? " or " : "";
  }
  return names;
}

// The short letters getopt_long takes, each with ':' where it takes a value.
std::string short_options(std::span<const option_rule> rules, operand_order order) {
  // '+': stop at the first argument that is not an option.
  std::string letters = order == operand_order::after_options ? "+" : "";
  for (const option_rule& rule : rules) {
    if (rule.text.letter == 0) continue;
    letters += rule.text.letter;
    if (rule.text.value != nullptr) letters += ':';
  }
  return letters;
}

// The id of the option getopt_long has read as value.
int option_id(std::span<const option_rule> rules, int value) {
  if (value >= long_option_base) return value - long_option_base;
  const auto rule = std::find_if(rules.begin(), rules.end(), [&](const option_rule& candidate) {
    return candidate.text.letter == value;
  });
  return static_cast<int>(rule - rules.begin());
}

// The arguments with the program name first, which getopt_long's messages
// begin with.
std::vector<std::string> with_program_name(std::span<const std::string_view> arguments) {
  std::vector<std::string> storage{program_invocation_short_name};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  return storage;
}

// The writable argv getopt_long wants, over storage, with a null pointer last.
std::vector<char*> argv_of(std::vector<std::string>& storage) {
  std::vector<char*> argv;
  argv.reserve(storage.size() + 1);
  for (std::string& argument : storage) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return argv;
}

// facts, then the kit's shared facts.
std::vector<help_fact> with_shared_facts(std::span<const help_fact> facts) {
  std::vector<help_fact> all(facts.begin(), facts.end());
  std::vector<help_fact> shared = shared_help_facts();
  all.insert(all.end(), std::make_move_iterator(shared.begin()), std::make_move_iterator(shared.end()));
  return all;
}

}  // namespace

std::string with_facts(std::string text, std::span<const help_fact> facts) {
  for (const auto& [name, value] : facts)
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size()))
      text.replace(at, name.size(), value);
  return text;
}

void append_filled(std::string& help, std::string_view text, size_t column, size_t indent) {
  std::string_view gap;
  while (!text.empty()) {
    const size_t word_end = std::min(text.find(' '), text.size());
    const std::string_view word = text.substr(0, word_end);
    text.remove_prefix(word_end);
    if (column > indent && column + gap.size() + word.size() > help_width) {
      help += '\n';
      help.append(indent, ' ');
      column = indent;
    } else {
      help += gap;
      column += gap.size();
    }
    help += word;
    column += word.size();
    const size_t spaces = std::min(text.find_first_not_of(' '), text.size());
    gap = text.substr(0, spaces);
    text.remove_prefix(spaces);
  }
  help += '\n';
}

std::string filled(std::string_view text, std::initializer_list<help_fact> facts) {
  std::string paragraph;
  append_filled(paragraph, with_facts(std::string(text), with_shared_facts({facts.begin(), facts.size()})), 0,
                0);
  return paragraph;
}

std::string option_name(const option_text& text) { return std::string("--") + text.name; }

std::string option_entries(std::span<const option_rule> rules, std::span<const help_fact> facts) {
  const std::vector<help_fact> all = with_shared_facts(facts);
  std::string entries;
  for (const option_rule& rule : rules) {
    std::string head = "  ";
    if (rule.text.letter != 0) head += std::string{'-', rule.text.letter, ',', ' '};
    head += option_name(rule.text);
    if (rule.text.value != nullptr) head += std::string(" ") + rule.text.value;
    // Two spaces at least between the option and its text, which goes on
    // the next line where they do not fit.
    if (head.size() + 2 > help_text_column)
      head += "\n" + std::string(help_text_column, ' ');
    else
      head.append(help_text_column - head.size(), ' ');
    entries += head;
    append_filled(entries, with_facts(rule.text.help, all), help_text_column, help_text_column);
  }
  return entries;
}

std::string effect_notes(std::span<const option_rule> rules) {
  std::string notes;
  for (const option_rule& rule : rules) {
    if (rule.idle_beside != 0)
      append_filled(notes, "  " + option_name(rule.text) + " with " + option_names(rules, rule.idle_beside),
                    0, 4);
    if (rule.needs != 0)
      append_filled(notes, "  " + option_name(rule.text) + " without " + option_names(rules, rule.needs), 0,
                    4);
  }
  return notes;
}

result<void> check_effects(std::span<const option_rule> rules, option_set given) {
  for (size_t id = 0; id < rules.size(); ++id) {
    const option_rule& rule = rules[id];
    if ((given & any_of({static_cast<int>(id)})) == 0) continue;
    if (const option_set idle = given & rule.idle_beside; idle != 0)
      return failure{option_name(rule.text) + " has no effect with " +
                     option_name(rules[std::countr_zero(idle)].text)};
    if (rule.needs != 0 && (given & rule.needs) == 0)
      return failure{option_name(rule.text) + " has no effect without " + option_names(rules, rule.needs)};
  }
  return {};
}

result<command_line> read_command_line(std::span<const std::string_view> arguments,
                                       std::span<const option_rule> rules, const struct option* long_options,
                                       operand_order order, const option_taker& take) {
  std::vector<std::string> storage = with_program_name(arguments);
  std::vector<char*> argv = argv_of(storage);
  const int argc = static_cast<int>(storage.size());
  const std::string letters = short_options(rules, order);
  command_line read;
  optind = 0;  // a fresh scan, also when called again
  opterr = 1;  // getopt says what is wrong with an option, in its own words
  int options_end = 1;
  for (int value = 0;
       (value = getopt_long(argc, argv.data(), letters.c_str(), long_options, nullptr)) != -1;) {
    if (value == '?') return failure{""};
    const int id = option_id(rules, value);
    const result<void> taken =
        take(id, option_name(rules[static_cast<size_t>(id)].text), optarg != nullptr ? optarg : "");
    if (!taken) return failure{taken.error()};
    read.given |= any_of({id});
    options_end = optind;
  }
  // "--" ends the options only where getopt_long stopped on it, not where it
  // was an option's value.
  read.separated = order == operand_order::after_options && optind == options_end + 1 &&
                   std::strcmp(argv[static_cast<size_t>(options_end)], "--") == 0;
  read.operands.assign(argv.begin() + optind, argv.end() - 1);
  return read;
}

}  // namespace blindscan::kit
