#include "kit/command.h"

#include <err.h>
#include <errno.h>

#include <cstdio>
#include <exception>

namespace blindscan::kit {

int run_command(int argc, char** argv, const std::function<result<int>(int, char**)>& body) {
  try {
    const result<int> status = body(argc, argv);
    if (status) return *status;
    warnx("%s", status.error().c_str());
  } catch (const std::exception& error) {  // out of memory, say
    warnx("%s", error.what());
  }
  return bad_input_status;
}

void suggest_help() { (void)std::fprintf(stderr, "Try '%s --help'.\n", program_invocation_short_name); }

}  // namespace blindscan::kit
