// blindscan-emulator: a stand-in for the blind-scan driver, so that the tool
// can run unchanged on any Linux machine.  This file wires the model (the
// options, the sky, the driver) to the plumbing that serves it.
#include <err.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"
#include "emulator/input/answers_file.h"
#include "emulator/input/default_sky.h"
#include "emulator/input/options.h"
#include "emulator/model/driver.h"
#include "emulator/plumbing/files.h"
#include "emulator/plumbing/serving.h"
#include "kit/command.h"
#include "kit/read_file.h"
#include "kit/sky_file.h"

namespace blindscan::emulator {

namespace {

// The status of a replay that differs from its recording: its command asked
// for a scan the answers do not hold, or left answers that no request took.
constexpr int unrecorded_status = kit::replay_differs_status;

// The scans of one node, answered from source.
struct node_source {
  int32_t device_number;
  scan_source source;
  std::vector<int> recorded_opens;
};

// The nodes to serve and what each answers from: the recorded answers of
// each node an answers file names; otherwise, on each node the options name,
// a records file, a sky file, a satellite's published list, or the built-in
// sky.
kit::result<std::vector<node_source>> load_node_sources(const options& chosen) {
  std::vector<node_source> nodes;
  if (chosen.answers_file) {
    const kit::result<std::string> text = kit::read_file(*chosen.answers_file, "an answers file");
    if (!text) return kit::failure{text.error()};
    kit::result<std::vector<recorded_node>> recorded = parse_answers(*text, *chosen.answers_file);
    if (!recorded) return kit::failure{recorded.error()};
    for (recorded_node& node : *recorded)
      nodes.push_back({node.device_number, std::move(node.scans), std::move(node.opens)});
    return nodes;
  }
  scan_source source;
  if (chosen.records_file) {
    kit::result<std::string> records = kit::read_file(*chosen.records_file, "a records file");
    if (!records) return kit::failure{records.error()};
    source = std::move(*records);
  } else {
    kit::result<std::vector<kit::transponder>> sky =
        chosen.satellite  ? kit::read_satellite(kit::published_lists_directory, *chosen.satellite)
        : chosen.sky_file ? kit::read_sky(*chosen.sky_file, "a sky file")
                          : kit::parse_sky(default_sky_text, default_sky_name);
    if (!sky) return kit::failure{sky.error()};
    source = std::move(*sky);
  }
  for (const int32_t number : chosen.device_numbers) nodes.push_back({number, source, {}});
  return nodes;
}

std::string node_path(int32_t device_number) {
  char path[device::path_area_size];
  device::format_device_path(path, device_number);
  return path;
}

// With descriptor 0, 1 or 2 closed, the descriptors the emulator opens would
// take their place and the command would inherit them as its standard
// streams.  Placeholders that close on exec keep the command's view intact.
void reserve_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    const int placeholder = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (placeholder >= 0 && placeholder != fd) {
      dup3(placeholder, fd, O_CLOEXEC);
      close(placeholder);
    }
  }
}

// The status, unless a scan request was refused because the answers hold
// none for it: a replay that differs from the recording says so, with
// unrecorded_status.
kit::result<int> answered_as_recorded(const kit::result<int>& status, const std::vector<served_node>& nodes) {
  if (!status) return status;
  int result_status = *status;
  for (const served_node& node : nodes) {
    if (const size_t unrecorded = node.answering.unrecorded_requests()) {
      warnx(
          "%s: %zu scan request(s) that the answers hold no recorded scan for (other arguments, or more "
          "scans than recorded) refused with ENODATA; the command's status was %d",
          node.path.c_str(), unrecorded, *status);
      result_status = unrecorded_status;
    }
  }
  return result_status;
}

// The status, unless answers are left that no request took: each node's are
// named, and the status is unrecorded_status; with partial, they are named
// as left out, and the status stands.
int all_answers_taken(int status, int command_status, const std::vector<served_node>& nodes, bool partial) {
  int result_status = status;
  for (const served_node& node : nodes) {
    for (const std::string& left : unasked_lines(node.answering.unasked())) {
      if (partial) {
        warnx("%s: left out (--partial): %s", node.path.c_str(), left.c_str());
        continue;
      }
      warnx("%s: the command did not ask for %s; the command's status was %d", node.path.c_str(),
            left.c_str(), command_status);
      result_status = unrecorded_status;
    }
  }
  return result_status;
}

// The emulator's exit status, or the failure that ends it with status 2.
kit::result<int> run(const std::vector<std::string_view>& arguments) {
  const kit::result<options> parsed = parse_options(arguments);
  if (!parsed) {
    if (!parsed.error().empty()) warnx("%s", parsed.error().c_str());
    kit::suggest_help();
    return kit::bad_input_status;
  }
  const options& chosen = *parsed;
  if (chosen.help) {
    // The help reaches standard output whole, or the status says it did not.
    const std::string help = usage();
    if (std::fwrite(help.data(), 1, help.size(), stdout) != help.size() || std::fflush(stdout) != 0)
      return kit::failed("cannot write the help");
    return 0;
  }

  reserve_standard_descriptors();
  kit::result<std::vector<node_source>> sources = load_node_sources(chosen);
  if (!sources) return kit::failure{sources.error()};
  if (chosen.serve_path && sources->size() != 1)
    return kit::failure{*chosen.answers_file + ": names " + std::to_string(sources->size()) +
                        " devices; --serve serves one"};

  int log_fd = -1;
  if (chosen.log_file) {
    log_fd = open(chosen.log_file->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (log_fd < 0) return kit::failed(*chosen.log_file + ": cannot open the log");
  }
  const event_sink log = log_to(log_fd);

  // One driver for each node; with several, each line of the log names its node.
  // A replay that departs from its recording is said on standard error as
  // it happens, naming the node, besides the summary once the command ends.
  std::deque<driver> drivers;
  std::vector<served_node> nodes;
  for (node_source& node : *sources) {
    const std::string path = chosen.serve_path ? *chosen.serve_path : node_path(node.device_number);
    event_sink node_log = log;
    if (sources->size() > 1)
      node_log = [log, prefix = path + ": "](std::string_view line) { log(prefix + std::string(line)); };
    const event_sink divergences = [path](std::string_view line) {
      warnx("%s: %.*s", path.c_str(), static_cast<int>(line.size()), line.data());
    };
    driver_settings settings = chosen.driver;
    settings.recorded_opens = std::move(node.recorded_opens);
    drivers.emplace_back(std::move(node.source), settings, node_log, divergences);
    nodes.push_back({path, drivers.back(), node_log});
  }
  if (chosen.serve_path)
    return answered_as_recorded(serve_existing_file(nodes.front(), chosen.node_mode), nodes);
  const kit::result<int> status = serve_command(chosen.command, nodes, chosen.node_mode);
  kit::result<int> answered = answered_as_recorded(status, nodes);
  if (!answered) return answered;
  return all_answers_taken(*answered, *status, nodes, chosen.partial);
}

}  // namespace

}  // namespace blindscan::emulator

int main(int argc, char** argv) {
  return blindscan::kit::run_command(argc, argv, [](int count, char** values) {
    return blindscan::emulator::run(std::vector<std::string_view>(values + 1, values + count));
  });
}
