#include "kit/sky_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "kit/channel_keys.h"
#include "kit/read_file.h"
#include "kit/text.h"

namespace blindscan::kit {

namespace {

// One line's four fields as a transponder; the failure says what is wrong.
result<transponder> parse_fields(const std::vector<std::string_view>& fields) {
  transponder out{};
  if (fields.size() != 4)
    return failure{"expected 4 fields (frequency_khz polarisation symbol_rate system), found " +
                   std::to_string(fields.size())};
  if (!parse_positive(fields[0], out.downlink_khz))
    return failure{"frequency " + quoted(fields[0]) + " is not a whole number of kHz from 1 to 4294967295"};
  const std::optional<bool> vertical = polarisation_of_letter(fields[1]);
  if (!vertical)
    return failure{"polarisation " + quoted(fields[1]) + " is neither " + polarisation_letter(false) +
                   " nor " + polarisation_letter(true)};
  out.vertical = *vertical;
  if (!parse_positive(fields[2], out.symbol_rate))
    return failure{"symbol rate " + quoted(fields[2]) +
                   " is not a whole number of kSym/s from 1 to 4294967295"};
  const std::optional<device::delivery_system> system = system_of_name(fields[3]);
  if (!system)
    return failure{"delivery system " + quoted(fields[3]) + " is neither " +
                   system_name(device::delivery_system::dvb_s) + " nor " +
                   system_name(device::delivery_system::dvb_s2)};
  out.system = *system;
  return out;
}

// The project's own format: one transponder per line.
result<std::vector<transponder>> parse_own_format(const std::vector<content_line>& lines,
                                                  std::string_view source_name) {
  std::vector<transponder> sky;
  // Two carriers cannot share a frequency and a polarisation.
  std::map<std::pair<uint32_t, bool>, int> first_line_of;
  for (const content_line& line : lines) {
    const result<transponder> parsed = parse_fields(split_fields(line.text));
    if (!parsed) return at_line(source_name, line.number, parsed.error());
    const auto [where, inserted] =
        first_line_of.emplace(std::pair{parsed->downlink_khz, parsed->vertical}, line.number);
    if (!inserted)
      return at_line(source_name, line.number,
                     "transponder " + std::to_string(parsed->downlink_khz) + " " +
                         polarisation_letter(parsed->vertical) + " already given on line " +
                         std::to_string(where->second));
    sky.push_back(*parsed);
  }
  return sky;
}

// One [NAME] entry of a published channel list, as far as it has been read.
struct channel_entry {
  int line_number;  // cppcheck-suppress unusedStructMember ; read where the entry is finished
  std::string_view name;
  std::optional<uint32_t> frequency_khz;
  std::optional<bool> vertical;
  std::optional<uint32_t> symbol_rate;  // kSym/s
  std::optional<device::delivery_system> system;
};

// Sets one KEY = value of an entry; keys other than the four it needs are
// accepted and ignored.
result<void> set_channel_key(channel_entry& entry, std::string_view key, std::string_view value) {
  namespace keys = channel_keys;
  const std::string named = std::string(key) + " " + quoted(value);
  if (key == keys::frequency) {
    uint32_t khz = 0;
    if (!parse_positive(value, khz))
      return failure{named + " is not a whole number of kHz from 1 to 4294967295"};
    entry.frequency_khz = khz;
  } else if (key == keys::polarization) {
    if (value == keys::horizontal || value == keys::left)
      entry.vertical = false;
    else if (value == keys::vertical || value == keys::right)
      entry.vertical = true;
    else
      return failure{named + " is none of " + keys::horizontal + ", " + keys::vertical + ", " + keys::left +
                     " and " + keys::right};
  } else if (key == keys::symbol_rate) {
    // Symbols per second, held as kSym/s rounded to the nearest; from 500 so
    // that none rounds to 0.
    uint32_t symbols = 0;
    if (!parse_positive(value, symbols) || symbols < 500)
      return failure{named + " is not a whole number of symbols per second from 500 to 4294967295"};
    entry.symbol_rate = nearest_ksym(symbols);
  } else if (key == keys::delivery_system) {
    if (value == keys::dvbs)
      entry.system = device::delivery_system::dvb_s;
    else if (value == keys::dvbs2)
      entry.system = device::delivery_system::dvb_s2;
    else
      return failure{named + " is neither " + keys::dvbs + " nor " + keys::dvbs2};
  }
  return {};
}

// The transponder of a complete entry; the failure names the first key missing.
result<transponder> finish_entry(const channel_entry& entry) {
  const char* missing = !entry.frequency_khz ? channel_keys::frequency
                        : !entry.vertical    ? channel_keys::polarization
                        : !entry.symbol_rate ? channel_keys::symbol_rate
                        : !entry.system      ? channel_keys::delivery_system
                                             : nullptr;
  if (missing) return failure{"entry [" + std::string(entry.name) + "] has no " + missing};
  return transponder{*entry.frequency_khz, *entry.vertical, *entry.symbol_rate, *entry.system};
}

// A published channel list: [NAME] entries of KEY = value lines.  A carrier
// listed again (a multistream carrier, once per stream) is one carrier, as
// its first entry gives it.
result<std::vector<transponder>> parse_channel_list(const std::vector<content_line>& lines,
                                                    std::string_view source_name) {
  std::vector<transponder> sky;
  std::set<std::pair<uint32_t, bool>> listed;
  std::optional<channel_entry> entry;
  const auto finish = [&]() -> result<void> {
    if (!entry) return {};
    const result<transponder> carrier = finish_entry(*entry);
    if (!carrier) return at_line(source_name, entry->line_number, carrier.error());
    if (listed.emplace(carrier->downlink_khz, carrier->vertical).second) sky.push_back(*carrier);
    return {};
  };
  for (const content_line& line : lines) {
    if (line.text.front() == '[') {
      if (line.text.back() != ']' || line.text.size() < 3)
        return at_line(source_name, line.number, "expected [NAME], found " + quoted(line.text));
      if (const result<void> finished = finish(); !finished) return failure{finished.error()};
      entry = channel_entry{line.number, line.text.substr(1, line.text.size() - 2), {}, {}, {}, {}};
      continue;
    }
    const size_t equals = line.text.find('=');
    const std::string_view key =
        equals == std::string_view::npos ? std::string_view{} : trimmed(line.text.substr(0, equals));
    if (key.empty())
      return at_line(source_name, line.number, "expected KEY = value or [NAME], found " + quoted(line.text));
    if (!entry)
      return at_line(source_name, line.number, quoted(line.text) + " comes before the first [NAME]");
    if (const result<void> set = set_channel_key(*entry, key, trimmed(line.text.substr(equals + 1))); !set)
      return at_line(source_name, line.number, set.error());
  }
  if (const result<void> finished = finish(); !finished) return failure{finished.error()};
  return sky;
}

}  // namespace

result<std::vector<transponder>> parse_sky(std::string_view text, std::string_view source_name) {
  const std::vector<content_line> lines = content_lines(text);
  // A published channel list starts with its first entry's [NAME]; a line of
  // the own format starts with a frequency.
  if (!lines.empty() && lines.front().text.front() == '[') return parse_channel_list(lines, source_name);
  return parse_own_format(lines, source_name);
}

result<std::vector<transponder>> read_sky(const std::string& path, std::string_view kind) {
  const result<std::string> text = read_file(path, kind);
  if (!text) return failure{text.error()};
  return parse_sky(*text, path);
}

std::optional<failure> missing_lists(std::string_view directory) {
  const std::string where(directory);
  struct stat info {};
  if (stat(where.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return std::nullopt;
  return failure{where +
                 " is missing: the published transponder lists come with the package "
                 "dtv-scan-tables (apt-get install dtv-scan-tables)"};
}

result<std::vector<transponder>> read_satellite(std::string_view directory, std::string_view name) {
  const result<std::string> path = satellite_file(directory, name);
  if (!path) return failure{path.error()};
  return read_sky(*path, "a published list");
}

result<std::string> satellite_file(std::string_view directory, std::string_view name) {
  if (std::optional<failure> missing = missing_lists(directory)) return *missing;
  const std::string where(directory);
  const std::string path = where + "/" + std::string(name);
  if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == ".." ||
      access(path.c_str(), F_OK) != 0)
    return failure{"no satellite " + quoted(name) + " in " + where + " (ls " + where + " lists the names)"};
  return path;
}

}  // namespace blindscan::kit
