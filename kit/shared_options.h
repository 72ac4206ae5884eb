// The options several of the kit's commands take, written once: what the
// user sees of each, the facts their help texts name, and setters that take
// each value into a command's own options struct.  A command puts them in
// its option table beside its own rows, under its own ids.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kit/lnb.h"
#include "kit/option_table.h"
#include "kit/report_lines.h"
#include "kit/result.h"
#include "kit/sweeps.h"

namespace blindscan::kit {

// --sweep ARGS, repeatable: add_sweep.
inline constexpr option_text sweep_text = {
    "sweep", "ARGS",
    "the tool's seven arguments of one sweep, in one argument: '0 950 2150 1000 45000 0 1'; repeat it for "
    "each sweep (default: the four whole sweeps, each polarisation in each band, {whole sweep})"};

// --lnb LNB with a command's own help, in which {lnb naming} says how an
// LNB is named: set_lnb.
constexpr option_text lnb_text(const char* help) { return {"lnb", "LNB", help}; }

// --lnb LNB of a command that reads the tool's reports made by --sweep's sweeps.
inline constexpr option_text report_lnb_text = lnb_text(
    "the dish's LNB: {lnb naming}.  The n-th run of the tool (told apart by 'open path' lines) is the n-th "
    "--sweep, and each of its lines is brought back through LNB on that sweep's band and polarisation to "
    "the true downlink frequency; where the runs cannot be paired with the sweeps, through every sweep that "
    "could have made the line, which is refused where they differ (default: {tool bands}, "
    "{tool oscillators})");

// --symbol-unit UNIT: set_symbol_unit.
inline constexpr option_text symbol_unit_text = {
    "symbol-unit", "UNIT",
    "the unit of the report's symbol rates: Sym/s, kSym/s (the default, the driver stand-in's) or MSym/s"};

// -o, --output FILE: set_file_name, with "-" for standard output left to the
// command.
inline constexpr option_text output_text = {
    "output", "FILE", "write the output to FILE, created or emptied ('-', the default: standard output)",
    'o'};

// --help: set_flag.
inline constexpr option_text help_text = {"help", nullptr, "print this help and exit"};

// The facts the texts above name, which any help text may name too, in the
// order they are filled in: {lnb naming} (how an LNB is named, by type or
// oscillators), {lnb names}, {tool bands} and {tool oscillators} (the LNB a
// report assumes), {whole sweep} (the ranges of a whole sweep) and {lists}
// (the published lists' folder).  option_entries fills them in after a
// command's own facts.
std::vector<help_fact> shared_help_facts();

// The value of an --lnb option, or what is wrong with it, naming the option.
result<lnb> read_lnb(std::string_view option, const char* value);

// Setters of the options above, by the field they set: a std::vector<sweep>,
// an lnb or std::optional<lnb>, a symbol_unit.
template <auto field>
result<void> add_sweep(owner_of<field>& chosen, std::string_view, const char* value) {
  result<sweep> parsed = parse_sweep(value);
  if (!parsed) return failure{parsed.error()};
  (chosen.*field).push_back(std::move(*parsed));
  return {};
}

template <auto field>
result<void> set_lnb(owner_of<field>& chosen, std::string_view option, const char* value) {
  result<lnb> dish = read_lnb(option, value);
  if (!dish) return failure{dish.error()};
  chosen.*field = std::move(*dish);
  return {};
}

template <auto field>
result<void> set_symbol_unit(owner_of<field>& chosen, std::string_view option, const char* value) {
  const result<symbol_unit> unit = parse_symbol_unit(value);
  if (!unit) return failure{std::string(option) + ": " + unit.error()};
  chosen.*field = *unit;
  return {};
}

}  // namespace blindscan::kit
