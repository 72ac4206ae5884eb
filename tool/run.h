#pragma once

namespace blindscan::tool {

// One blind scan from the command line to the exit status: 0 after a
// complete run, -1 (exit status 255) on any failure.
int run(int argc, char** argv);

}  // namespace blindscan::tool
