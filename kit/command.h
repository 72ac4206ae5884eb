// How a command of the kit starts and ends.
#pragma once

#include <functional>

#include "kit/result.h"

namespace blindscan::kit {

// Runs a command's body with its arguments: its exit status,
// or 2 with its failure (or an exception's text) on standard error.
int run_command(int argc, char** argv, const std::function<result<int>(int, char**)>& body);

// Points the user at --help on standard error, once what is wrong with the
// command line has been said.
void suggest_help();

}  // namespace blindscan::kit
