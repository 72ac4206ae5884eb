// blindscan-emulator: a stand-in for the blind-scan driver, so that the tool
// can run unchanged on any Linux machine.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "device/blindscan_device.h"
#include "emulator/files.h"
#include "emulator/options.h"
#include "emulator/serving.h"
#include "emulator/sky.h"

namespace blindscan::emulator {

namespace {

// What the emulated driver does, as the options ask.
result<driver_behaviour> load_behaviour(const options& o) {
  driver_behaviour behaviour;
  behaviour.fail_ioctl = o.fail_ioctl;
  behaviour.fail_read = o.fail_read;
  behaviour.read_bytes = o.read_bytes;
  behaviour.scan_time = std::chrono::milliseconds(o.scan_ms);
  behaviour.node_mode = o.node_mode;
  behaviour.jitter = {o.jitter_khz, o.jitter_ksym, o.seed};
  if (!o.records_file.empty()) {
    result<std::string> records = read_file(o.records_file, input_file_limit);
    if (!records) return failure{records.error()};
    behaviour.records = std::move(*records);
    return behaviour;
  }
  std::string text(default_sky_text);
  std::string name(default_sky_name);
  if (!o.satellite.empty()) {
    result<std::string> path = satellite_file(published_lists_directory, o.satellite);
    if (!path) return failure{path.error()};
    name = *path;
  } else if (!o.sky_file.empty()) {
    name = o.sky_file;
  }
  if (name != default_sky_name) {
    result<std::string> contents = read_file(name, input_file_limit);
    if (!contents) return failure{contents.error()};
    text = std::move(*contents);
  }
  result<std::vector<transponder>> sky = parse_sky(text, name);
  if (!sky) return failure{sky.error()};
  behaviour.sky = std::move(*sky);
  return behaviour;
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

int run(const std::vector<std::string_view>& arguments) {
  const result<options> parsed = parse_options(arguments);
  if (!parsed) {
    std::fprintf(stderr, "blindscan-emulator: %s\nTry 'blindscan-emulator --help'.\n",
                 parsed.error().c_str());
    return 2;
  }
  const options& o = *parsed;
  if (o.help) {
    std::fwrite(usage_text.data(), 1, usage_text.size(), stdout);
    return 0;
  }

  reserve_standard_descriptors();
  result<driver_behaviour> behaviour = load_behaviour(o);
  if (!behaviour) return setup_failure(behaviour.error());

  int log_fd = -1;
  if (!o.log_file.empty()) {
    log_fd = open(o.log_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (log_fd < 0) return setup_failure(o.log_file + ": cannot open the log: " + std::strerror(errno));
  }
  const event_log log(log_fd);

  if (!o.serve_path.empty()) return serve_existing_file(o.serve_path, std::move(*behaviour), log);
  char node_path[device::path_area_size];
  device::format_device_path(node_path, o.device_number);
  return serve_command(o.command, node_path, std::move(*behaviour), log);
}

}  // namespace

}  // namespace blindscan::emulator

int main(int argc, char** argv) {
  return blindscan::emulator::run(std::vector<std::string_view>(argv + 1, argv + argc));
}
