#include "tool/run.h"

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "common/report_words.h"
#include "common/write_all.h"
#include "device/blindscan_device.h"
#include "report/report.h"
#include "tool/arguments.h"

namespace blindscan::tool {

namespace {

// Diagnostics go through stdio; the report goes straight to descriptor 1.
// Deciding the buffering here, rather than leaving it to the C library's
// first write, keeps their order the same with every C library: a terminal
// sees each line as it is printed, a pipe or file gets the diagnostics when
// the process ends, after the report.
char stdout_buffer[BUFSIZ];

void configure_standard_output() {
  const int mode = isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF;
  // setvbuf fails only for an unknown mode, and both modes here are valid.
  (void)setvbuf(stdout, stdout_buffer, mode, sizeof(stdout_buffer));
}

// With descriptor 1 closed, the open of the device would be handed
// descriptor 1 and the report and diagnostics would be written into the
// tuner's device.
bool standard_output_is_open() { return fcntl(STDOUT_FILENO, F_GETFD) != -1; }

}  // namespace

int run(int argc, char** argv) {
  configure_standard_output();
  if (!standard_output_is_open()) return -1;

  if (argc != argument_count + 1) {
    // The first copy bypasses stdio and has no line feed; the second is a line.
    (void)!write(STDOUT_FILENO, usage_text, usage_length);
    puts(usage_text);
    return -1;
  }

  memset(report::report_buffer, 0, sizeof(report::report_buffer));
  arguments args = convert_arguments(argv);

  char path[device::path_area_size];
  device::format_device_path(path, args.device_number);
  // Like the other diagnostics, a line that stdio cannot deliver changes
  // nothing of the run.
  (void)fputs(common::report_words::open_path, stdout);
  (void)fputs(path, stdout);
  (void)putchar('\n');

  const int fd = open(path, O_RDWR);
  if (fd < 0) return -1;
  // From here on a failure leaves the descriptor to the end of the process,
  // which releases it; only a complete run closes it (hence the resourceLeak
  // suppressions for cppcheck below).

  if (ioctl(fd, device::AVL2108_SET_PARAMETER, &args.request) != 0) {
    puts("failed to ioctl(AVL2108_SET_PARAMETER");
    // cppcheck-suppress resourceLeak
    return -1;
  }

  device::blindscan_result results[device::max_records];
  const ssize_t delivered = read(fd, results, sizeof(results));
  // cppcheck-suppress resourceLeak
  if (delivered < 0) return -1;

  const int length = report::build_report(report::report_buffer, sizeof(report::report_buffer), results,
                                          device::record_count(static_cast<size_t>(delivered)),
                                          args.request.pol, args.request.hilow_band);
  // cppcheck-suppress resourceLeak
  if (length < 0) return -1;
  // cppcheck-suppress resourceLeak
  if (!common::write_all(STDOUT_FILENO, report::report_buffer, static_cast<size_t>(length))) return -1;

  close(fd);
  return 0;
}

}  // namespace blindscan::tool
