// blindscan-emulator: a stand-in for the blind-scan driver, so that the tool
// can run unchanged on any Linux machine.  This file wires the model (the
// options, the sky, the driver) to the plumbing that serves it.
#include <err.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"
#include "emulator/model/driver.h"
#include "emulator/model/options.h"
#include "emulator/model/sky_reader.h"
#include "emulator/plumbing/files.h"
#include "emulator/plumbing/serving.h"

namespace blindscan::emulator {

namespace {

// What scans are answered from, as the options name it: a records file, a
// sky file, a satellite's published list, or the built-in sky.
result<scan_source> load_scan_source(const options& o) {
  if (o.records_file) {
    result<std::string> records = read_file(*o.records_file, input_file_limit);
    if (!records) return failure{records.error()};
    return scan_source{std::move(*records)};
  }
  std::optional<std::string> path = o.sky_file;
  if (o.satellite) {
    result<std::string> published = satellite_file(published_lists_directory, *o.satellite);
    if (!published) return failure{published.error()};
    path = *published;
  }
  std::string text(default_sky_text);
  if (path) {
    result<std::string> contents = read_file(*path, input_file_limit);
    if (!contents) return failure{contents.error()};
    text = std::move(*contents);
  }
  result<std::vector<transponder>> sky = parse_sky(text, path ? *path : std::string(default_sky_name));
  if (!sky) return failure{sky.error()};
  return scan_source{std::move(*sky)};
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

// The emulator's exit status, or the failure that ends it with status 2.
result<int> run(const std::vector<std::string_view>& arguments) {
  const result<options> parsed = parse_options(arguments);
  if (!parsed) return failure{parsed.error() + "\nTry '" + program_invocation_short_name + " --help'."};
  const options& o = *parsed;
  if (o.help) {
    return std::fwrite(usage_text.data(), 1, usage_text.size(), stdout) == usage_text.size() ? 0 : 2;
  }

  reserve_standard_descriptors();
  result<scan_source> source = load_scan_source(o);
  if (!source) return failure{source.error()};

  int log_fd = -1;
  if (o.log_file) {
    log_fd = open(o.log_file->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (log_fd < 0) return failure{*o.log_file + ": cannot open the log: " + std::strerror(errno)};
  }
  const event_sink log = log_to(log_fd);
  driver served(std::move(*source), o.driver, log);

  if (o.serve_path) return serve_existing_file(*o.serve_path, served, o.node_mode, log);
  char node_path[device::path_area_size];
  device::format_device_path(node_path, o.device_number);
  return serve_command(o.command, node_path, served, o.node_mode, log);
}

}  // namespace

}  // namespace blindscan::emulator

int main(int argc, char** argv) {
  try {
    const blindscan::emulator::result<int> status =
        blindscan::emulator::run(std::vector<std::string_view>(argv + 1, argv + argc));
    if (status) return *status;
    warnx("%s", status.error().c_str());
  } catch (const std::exception& error) {  // out of memory, say
    warnx("%s", error.what());
  }
  return 2;
}
