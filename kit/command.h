// How a command of the kit starts and ends.
#pragma once

#include <functional>

#include "kit/result.h"

namespace blindscan::kit {

// The statuses the kit's commands end with besides their own: a command
// line, a file or an input that is wrong; and a replay that did not do what
// its recording did (a request it holds no answer for, or answers left
// over).  The Python commands take them from here too.
inline constexpr int bad_input_status = 2;
inline constexpr int replay_differs_status = 3;

// Runs a command's body with its arguments: its exit status, or
// bad_input_status with its failure (or an exception's text) on standard
// error.
int run_command(int argc, char** argv, const std::function<result<int>(int, char**)>& body);

// Points the user at --help on standard error, once what is wrong with the
// command line has been said.
void suggest_help();

}  // namespace blindscan::kit
